// The work list: the file names a command works on and the directory they are in.
#pragma once

#include "FileSystem.h" // CurrentDirectory

#include <string>
#include <vector>

namespace qv {

class TQV_DirCryptor {
public:
    TQV_DirCryptor() = default;
    TQV_DirCryptor(const TQV_DirCryptor&) = delete;
    TQV_DirCryptor& operator=(const TQV_DirCryptor&) = delete;

    std::vector<std::string> FileNames; // list captions, in the order collected
    std::string Directory;              // no trailing "/" except for the root

    // Takes the captions of a list's selected entries, in list order, and the process's
    // current directory, which the directory tree keeps equal to the directory it shows.
    void CollectSelection(const std::vector<std::string>& selectedCaptions);
};

} // namespace qv
