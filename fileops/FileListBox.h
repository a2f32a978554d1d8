// The files, or the subdirectories, of one directory, sorted by name: the content of the hidden
// list boxes that follow the directory tree.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace qv {

class TQV_FileListBox {
public:
    enum class Kind {
        Files, // every regular file, hidden ones too; no directories
        // every subdirectory except "." and "..", and except symbolic links to folders and the
        // mount points of pseudo file systems: the folders a run over the tree enters
        Directories,
    };

    explicit TQV_FileListBox(Kind kind) : kind_(kind) {}

    // Reads the directory again. False, with the items emptied and a reason, when it cannot
    // be read.
    bool Read(const std::string& directory, std::string* error = nullptr);

    // Reads the directory once for two list boxes of either kind: the window's listings of its
    // files and of its folders, with one pass over a directory that may hold many thousands.
    static bool ReadBoth(const std::string& directory, TQV_FileListBox& first,
                         TQV_FileListBox& second, std::string* error = nullptr);

    const std::vector<std::string>& Items() const { return *items_; }
    // The items as they are now, to be read on another thread: a read gives the box new items
    // and leaves these as they are.
    std::shared_ptr<const std::vector<std::string>> SharedItems() const { return items_; }
    const std::string& Directory() const { return directory_; }

private:
    void Begin(const std::string& directory);
    // One pass over the directory, filling first and, when given, second.
    static bool Scan(const std::string& directory, TQV_FileListBox& first, TQV_FileListBox* second,
                     std::string* error);

    Kind kind_;
    std::string directory_;
    std::shared_ptr<std::vector<std::string>> items_ = std::make_shared<std::vector<std::string>>();
};

} // namespace qv
