// Files whose new content and names reach the disk together. A run over many files writes them
// all, makes them durable with one flush of each file system instead of one per file, and only
// then lets anything depend on them (a plain file is wiped only once its crypted copy is on disk).
#pragma once

#include <cstddef>
#include <mutex>
#include <set>
#include <string>
#include <sys/types.h>
#include <vector>

namespace qv {

class FlushGroup {
public:
    FlushGroup() = default;
    FlushGroup(const FlushGroup&) = delete;
    FlushGroup& operator=(const FlushGroup&) = delete;
    ~FlushGroup(); // closes every file and folder it holds

    // Called before anything of the group is written in folder: a write-back that fails on its
    // file system from now on is noticed by Flush. Safe from several threads.
    void Watch(const std::string& folder);
    // Takes over fd, open on the file at path whose content or name still has to reach the disk,
    // and returns its ticket. Safe from several threads.
    std::size_t Hold(int fd, const std::string& path);

    // Makes every file held durable, with its name. On ext2/3/4, XFS, Btrfs, F2FS and tmpfs that is
    // one syncfs of each file system, which reports a write-back that failed since Watch;
    // elsewhere (network and FUSE file systems, where syncfs may do nothing), and to tell which
    // files failed after a syncfs that reported an error, each file and its folder is flushed
    // on its own. Returns, by ticket, whether the file is on disk. The files stay open.
    std::vector<bool> Flush();

    // After Flush: whether the file held under path is on disk (false for a path not held).
    bool Flushed(const std::string& path) const;
    // After Flush: whether the file of a ticket is on disk.
    bool Flushed(std::size_t ticket) const;

    std::size_t Size() const { return held_.size(); }
    // The open file of a ticket.
    int Fd(std::size_t ticket) const { return held_[ticket].fd; }
    // Closes every file held (files whose names were erased are gone now), flushes the names in
    // the folders watched, without a word about failures, and forgets everything: for erased
    // names, which need not survive a crash but should not come back after one either.
    void Settle();
    // Closes every file and folder and forgets them.
    void Clear();

private:
    struct Held {
        int fd;
        std::string path;
        dev_t device;
    };
    struct Watched {
        int fd; // the first folder watched on its file system
        dev_t device;
    };

    mutable std::mutex mutex_;
    std::vector<Held> held_;
    std::vector<Watched> watched_;
    std::vector<std::string> folders_; // every folder watched
    std::vector<bool> flushed_;        // by ticket, after Flush
};

} // namespace qv
