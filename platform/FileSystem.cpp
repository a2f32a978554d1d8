#include "FileSystem.h"

#include "FlushGroup.h"
#include "Paths.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace qv {

int RenameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    const int err = errno;
    if (err != EINVAL && err != ENOSYS && err != ENOTSUP)
        return err;
    // File systems that refuse the flag: a hard link also fails when the new name is taken.
    if (link(from.c_str(), to.c_str()) != 0)
        return errno;
    if (unlink(from.c_str()) != 0) {
        const int unlinkErr = errno;
        unlink(to.c_str());
        return unlinkErr;
    }
    return 0;
}

bool PathExists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsSymbolicLink(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string CurrentDirectory() {
    std::vector<char> buffer(256);
    for (;;) {
        if (getcwd(buffer.data(), buffer.size()))
            return buffer.data();
        if (errno != ERANGE)
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

std::string ShellCurrentDirectory() {
    struct stat here {
    }, named{};
    if (const char* pwd = std::getenv("PWD");
        pwd && pwd[0] == '/' && stat(".", &here) == 0 && stat(pwd, &named) == 0 &&
        here.st_dev == named.st_dev && here.st_ino == named.st_ino)
        return NormalisePath(pwd);
    return CurrentDirectory();
}

std::string AbsolutePath(const std::string& path) {
    if (!path.empty() && path.front() == '/')
        return NormalisePath(path);
    return NormalisePath(JoinPath(ShellCurrentDirectory(), path));
}

bool GetPermissions(const std::string& path, unsigned& mode) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return false;
    mode = st.st_mode & 07777;
    return true;
}

bool SetPermissions(const std::string& path, unsigned mode) {
    return chmod(path.c_str(), static_cast<mode_t>(mode & 07777)) == 0;
}

bool SetArchiveOnly(const std::string& path) {
    unsigned mode = 0;
    if (!GetPermissions(path, mode))
        return false;
    if (mode & S_IWUSR)
        return true;
    return SetPermissions(path, mode | S_IWUSR);
}

namespace {

// The folder that holds path; "." for a bare name.
std::string FolderOf(const std::string& path) {
    const std::string dir = DirectoryPart(path);
    return dir.empty() ? std::string(".") : dir;
}

} // namespace

bool SyncDirectoryOf(const std::string& path) {
    const int fd = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = fsync(fd) == 0 || errno == EINVAL; // some file systems cannot sync folders
    close(fd);
    return ok;
}

bool WriteAll(int fd, const void* data, std::size_t count) {
    const auto* p = static_cast<const unsigned char*>(data);
    while (count > 0) {
        const ssize_t n = write(fd, p, count);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        p += n;
        count -= static_cast<std::size_t>(n);
    }
    return true;
}

long ReadFull(int fd, void* data, std::size_t count) {
    auto* p = static_cast<unsigned char*>(data);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = read(fd, p + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<long>(done);
}

void UniqueFd::Reset(int fd) {
    if (fd_ >= 0)
        close(fd_);
    fd_ = fd;
}

namespace {

// The name of a temporary file beside target: hidden, marked as the target's own while that
// fits the folder's name length, always free of the target's characters otherwise.
std::string TemporaryNameBeside(const std::string& target) {
    static constexpr char Letters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char random[6] = {};
    if (getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
        static std::atomic<unsigned> counter{0};
        const unsigned mixed = static_cast<unsigned>(getpid()) * 2654435761u + counter++;
        std::memcpy(random, &mixed, sizeof mixed);
    }
    std::string suffix = ".";
    for (const unsigned char r : random)
        suffix += Letters[r % (sizeof Letters - 1)];
    const std::string name = FileNamePart(target);
    const std::string hidden =
        name.size() + 1 + suffix.size() <= NAME_MAX ? "." + name + suffix : ".quorvane" + suffix;
    return JoinPath(DirectoryPart(target), hidden);
}

// The errors with which a kernel or a file system says that it has no unnamed files.
bool RefusesUnnamedFiles(int err) {
    return err == EOPNOTSUPP || err == EISDIR || err == EINVAL || err == ENOSYS;
}

} // namespace

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {}

AtomicFile::AtomicFile(std::string target, FlushGroup* group)
    : target_(std::move(target)), group_(group) {}

AtomicFile::~AtomicFile() {
    Discard();
}

int AtomicFile::Open(unsigned mode) {
    Discard();
    committed_ = false;
    if (FileNamePart(target_).size() > NAME_MAX)
        return ENAMETOOLONG;
    const auto bits = static_cast<mode_t>(mode & 07777);
    if (group_)
        group_->Watch(FolderOf(target_));

    fd_ = open(FolderOf(target_).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, bits & 0700);
    if (fd_ < 0 && !RefusesUnnamedFiles(errno))
        return errno;
    if (fd_ >= 0) {
        // The link at commit goes through /proc; without it the file could never get a name.
        char self[64];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd_);
        if (access(self, F_OK) == 0) {
            unnamed_ = true;
        } else {
            close(fd_);
            fd_ = -1;
        }
    }
    for (int attempt = 0; fd_ < 0 && attempt < 100; ++attempt) {
        std::string temp = TemporaryNameBeside(target_);
        fd_ = open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd_ >= 0)
            tempPath_ = std::move(temp);
        else if (errno != EEXIST)
            return errno;
    }
    if (fd_ < 0)
        return EEXIST;
    if (fchmod(fd_, bits) != 0) {
        const int err = errno;
        Discard();
        return err;
    }
    return 0;
}

bool AtomicFile::Write(const void* data, std::size_t count) {
    return fd_ >= 0 && WriteAll(fd_, data, count);
}

int AtomicFile::LinkAs(const std::string& path) const {
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd_);
    return linkat(AT_FDCWD, self, AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

int AtomicFile::LinkUnderTemporaryName(std::string& path) const {
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = TemporaryNameBeside(target_);
        const int err = LinkAs(path);
        if (err != EEXIST)
            return err;
    }
    return EEXIST;
}

int AtomicFile::Commit(bool replace) {
    if (fd_ < 0)
        return EBADF;
    if (!group_ && fsync(fd_) != 0)
        return errno;
    if (unnamed_) {
        int err = LinkAs(target_);
        if (err == EEXIST && replace) {
            // No link replaces a name: the complete file takes a name of its own for a moment
            // and is moved over the target from there.
            std::string temp;
            err = LinkUnderTemporaryName(temp);
            if (err == 0 && rename(temp.c_str(), target_.c_str()) != 0) {
                err = errno;
                unlink(temp.c_str());
            }
        }
        if (err != 0)
            return err;
    } else if (replace) {
        if (rename(tempPath_.c_str(), target_.c_str()) != 0)
            return errno;
    } else if (const int err = RenameNoReplace(tempPath_, target_); err != 0) {
        return err;
    }
    committed_ = true;
    tempPath_.clear();
    if (group_) {
        group_->Hold(fd_, target_);
        fd_ = -1;
        return 0;
    }
    // The data are on disk already: a failure to close could not lose them any more.
    close(fd_);
    fd_ = -1;
    if (!SyncDirectoryOf(target_))
        return errno ? errno : EIO;
    return 0;
}

void AtomicFile::Discard() {
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
    if (!committed_ && !tempPath_.empty())
        unlink(tempPath_.c_str());
    tempPath_.clear();
    unnamed_ = false;
}

} // namespace qv
