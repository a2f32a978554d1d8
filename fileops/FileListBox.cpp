#include "FileListBox.h"

#include "Drives.h"
#include "Paths.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <numeric>
#include <string_view>
#include <sys/stat.h>

namespace qv {

namespace {

// Names in the order a user expects: letters without regard to case, then byte order. A
// folder may hold 100,000 files, so each name's key is made once, and only a name with capitals
// gets a lowered copy; the names are then put in order in place.
void SortByName(std::vector<std::string>& names) {
    // A deque keeps the lowered copies where they are as it grows, for the views into them.
    std::deque<std::string> lowered;
    std::vector<std::string_view> keys;
    keys.reserve(names.size());
    for (const std::string& name : names)
        if (std::any_of(name.begin(), name.end(), [](char c) { return c >= 'A' && c <= 'Z'; }))
            keys.push_back(lowered.emplace_back(AsciiLower(name)));
        else
            keys.push_back(name);
    std::vector<std::uint32_t> order(names.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const int byLetters = keys[a].compare(keys[b]);
        return byLetters != 0 ? byLetters < 0 : names[a] < names[b];
    });
    // The name at position i goes to position rank[i]: followed round each cycle with swaps.
    std::vector<std::uint32_t> rank(names.size());
    for (std::uint32_t to = 0; to < order.size(); ++to)
        rank[order[to]] = to;
    for (std::uint32_t i = 0; i < rank.size(); ++i)
        while (rank[i] != i) {
            const std::uint32_t to = rank[i];
            std::swap(names[i], names[to]);
            std::swap(rank[i], rank[to]);
        }
}

// What one entry of a directory is, asking the file system only when the directory's own
// record of the entry's type cannot tell.
class EntryKinds {
public:
    EntryKinds(int directoryFd, bool knowHere, dev_t here)
        : fd_(directoryFd), knowHere_(knowHere), here_(here) {}

    // Links count as what they point at; sockets, pipes and devices are left out, because
    // opening a pipe to read it would wait for a writer.
    bool IsFile(const dirent& entry) const {
        if (entry.d_type == DT_REG)
            return true;
        if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN)
            return false;
        struct stat st {};
        return fstatat(fd_, entry.d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
    }

    // A link to a folder can lead out of the tree or round in a loop, and a pseudo file system
    // mounted here holds no files of the user's.
    bool IsFolder(const dirent& entry) const {
        if (entry.d_type != DT_DIR && entry.d_type != DT_UNKNOWN)
            return false;
        struct stat st {};
        if (fstatat(fd_, entry.d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode))
            return false;
        return !(knowHere_ && st.st_dev != here_ &&
                 IsPseudoFileSystemType(FileSystemTypeOf(st.st_dev)));
    }

    bool Takes(TQV_FileListBox::Kind kind, const dirent& entry) const {
        return kind == TQV_FileListBox::Kind::Files ? IsFile(entry) : IsFolder(entry);
    }

private:
    int fd_;
    bool knowHere_;
    dev_t here_;
};

} // namespace

void TQV_FileListBox::Begin(const std::string& directory) {
    directory_ = directory;
    items_ = std::make_shared<std::vector<std::string>>();
}

bool TQV_FileListBox::Read(const std::string& directory, std::string* error) {
    return Scan(directory, *this, nullptr, error);
}

bool TQV_FileListBox::ReadBoth(const std::string& directory, TQV_FileListBox& first,
                               TQV_FileListBox& second, std::string* error) {
    if (&first == &second)
        return first.Read(directory, error);
    if (first.kind_ == second.kind_) {
        const bool read = first.Read(directory, error);
        second.directory_ = first.directory_;
        second.items_ = std::make_shared<std::vector<std::string>>(*first.items_);
        return read;
    }
    return Scan(directory, first, &second, error);
}

bool TQV_FileListBox::Scan(const std::string& directory, TQV_FileListBox& first,
                           TQV_FileListBox* second, std::string* error) {
    for (TQV_FileListBox* box : {&first, second})
        if (box)
            box->Begin(directory);
    const char* where = directory.empty() ? "." : directory.c_str();
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(where), closedir);
    if (!dir) {
        if (error)
            *error = std::strerror(errno);
        return false;
    }
    struct stat here {};
    const int fd = dirfd(dir.get());
    const bool knowHere = fstat(fd, &here) == 0;
    const EntryKinds kinds(fd, knowHere, here.st_dev);
    while (const dirent* entry = readdir(dir.get())) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        if (kinds.Takes(first.kind_, *entry))
            first.items_->emplace_back(name);
        else if (second && kinds.Takes(second->kind_, *entry))
            second->items_->emplace_back(name);
    }
    for (TQV_FileListBox* box : {&first, second})
        if (box)
            SortByName(*box->items_);
    return true;
}

} // namespace qv
