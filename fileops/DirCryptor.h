// The work list: the file names a command works on and the directory they are in.
#pragma once

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

    // Takes the captions of a list's selected entries, in list order, and the directory the
    // lists show, which the directory tree keeps equal to the process's current directory. The
    // directory is taken as given, not from the current directory, which the tree may change
    // while the command runs.
    void CollectSelection(const std::vector<std::string>& selectedCaptions,
                          const std::string& shownDirectory);
};

} // namespace qv
