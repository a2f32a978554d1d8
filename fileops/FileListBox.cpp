#include "FileListBox.h"

#include "Drives.h"
#include "Paths.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace qv {

namespace {

// Names in the order a user expects: letters without regard to case, then byte order.
bool NameBefore(const std::string& a, const std::string& b) {
    const std::string la = AsciiLower(a);
    const std::string lb = AsciiLower(b);
    return la != lb ? la < lb : a < b;
}

} // namespace

bool TQV_FileListBox::Read(const std::string& directory, std::string* error) {
    directory_ = directory;
    items_.clear();
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(directory.empty() ? "." : directory.c_str()),
                                            closedir);
    if (!dir) {
        if (error)
            *error = std::strerror(errno);
        return false;
    }
    struct stat here {};
    const bool knowHere = stat(directory.empty() ? "." : directory.c_str(), &here) == 0;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string path = JoinPath(directory, name);
        struct stat st {};
        if (kind_ == Kind::Files) {
            // Links count as what they point at; sockets, pipes and devices are left out,
            // because opening a pipe to read it would wait for a writer.
            if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
                items_.push_back(name);
            continue;
        }
        // A link to a folder can lead out of the tree or round in a loop, and a pseudo file
        // system mounted here holds no files of the user's.
        if (lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            continue;
        if (knowHere && st.st_dev != here.st_dev &&
            IsPseudoFileSystemType(FileSystemTypeOf(st.st_dev)))
            continue;
        items_.push_back(name);
    }
    std::sort(items_.begin(), items_.end(), NameBefore);
    return true;
}

} // namespace qv
