#include "FlushGroup.h"

#include "Paths.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <linux/magic.h>
#include <set>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace qv {

namespace {

// File systems whose syncfs writes every dirty file and commits their names, and reports a
// write-back error of any of its files (Linux 5.8 and later).
bool SyncfsCoversFiles(int fd) {
    struct statfs fs {};
    if (fstatfs(fd, &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case EXT4_SUPER_MAGIC: // also ext2 and ext3
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
    case TMPFS_MAGIC:
        return true;
    default:
        return false;
    }
}

std::string FolderOf(const std::string& path) {
    const std::string folder = DirectoryPart(path);
    return folder.empty() ? std::string(".") : folder;
}

// Flushes a folder, so that the names in it are on disk.
bool SyncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = fsync(fd) == 0 || errno == EINVAL; // some file systems cannot sync folders
    close(fd);
    return ok;
}

} // namespace

FlushGroup::~FlushGroup() {
    Clear();
}

void FlushGroup::Watch(const std::string& folder) {
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0)
        return;
    const std::lock_guard lock(mutex_);
    if (std::find(folders_.begin(), folders_.end(), folder) == folders_.end())
        folders_.push_back(folder);
    for (const Watched& w : watched_)
        if (w.device == st.st_dev)
            return;
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
        watched_.push_back({fd, st.st_dev});
}

std::size_t FlushGroup::Hold(int fd, const std::string& path) {
    struct stat st {};
    const dev_t device = fstat(fd, &st) == 0 ? st.st_dev : 0;
    const std::lock_guard lock(mutex_);
    held_.push_back({fd, path, device});
    return held_.size() - 1;
}

std::vector<bool> FlushGroup::Flush() {
    const std::lock_guard lock(mutex_);
    std::vector<bool> durable(held_.size(), false);
    std::set<dev_t> devices;
    for (const Held& h : held_)
        devices.insert(h.device);
    for (const dev_t device : devices) {
        // One syncfs through the folder watched before the files were written.
        const auto watched = std::find_if(watched_.begin(), watched_.end(),
                                          [&](const Watched& w) { return w.device == device; });
        const bool whole =
            watched != watched_.end() && SyncfsCoversFiles(watched->fd) && syncfs(watched->fd) == 0;
        std::set<std::string> folders;
        for (std::size_t i = 0; i < held_.size(); ++i) {
            if (held_[i].device != device)
                continue;
            if (whole) {
                durable[i] = true;
            } else {
                durable[i] = fsync(held_[i].fd) == 0 || errno == EINVAL;
                folders.insert(FolderOf(held_[i].path));
            }
        }
        // A file whose folder cannot be flushed may lose its name in a crash.
        for (const std::string& folder : folders) {
            if (SyncFolder(folder))
                continue;
            for (std::size_t i = 0; i < held_.size(); ++i)
                if (held_[i].device == device && FolderOf(held_[i].path) == folder)
                    durable[i] = false;
        }
    }
    flushed_ = durable;
    return durable;
}

bool FlushGroup::Flushed(const std::string& path) const {
    const std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < held_.size() && i < flushed_.size(); ++i)
        if (held_[i].path == path)
            return flushed_[i];
    return false;
}

bool FlushGroup::Flushed(std::size_t ticket) const {
    const std::lock_guard lock(mutex_);
    return ticket < flushed_.size() && flushed_[ticket];
}

void FlushGroup::Settle() {
    {
        const std::lock_guard lock(mutex_);
        for (const Held& h : held_)
            close(h.fd);
        held_.clear();
        bool everyFolder = false;
        for (const Watched& w : watched_)
            if (!SyncfsCoversFiles(w.fd) || syncfs(w.fd) != 0)
                everyFolder = true;
        if (everyFolder)
            for (const std::string& folder : folders_)
                SyncFolder(folder);
    }
    Clear();
}

void FlushGroup::Clear() {
    const std::lock_guard lock(mutex_);
    for (const Held& h : held_)
        close(h.fd);
    for (const Watched& w : watched_)
        close(w.fd);
    held_.clear();
    watched_.clear();
    folders_.clear();
    flushed_.clear();
}

} // namespace qv
