#include "FileListBox.h"

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
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        // Links count as what they point at; sockets, pipes and devices are left out, because
        // opening a pipe to read it would wait for a writer.
        struct stat st {};
        if (stat(JoinPath(directory, name).c_str(), &st) != 0)
            continue;
        const bool wanted = kind_ == Kind::Files ? S_ISREG(st.st_mode) : S_ISDIR(st.st_mode);
        if (wanted)
            items_.push_back(name);
    }
    std::sort(items_.begin(), items_.end(), NameBefore);
    return true;
}

} // namespace qv
