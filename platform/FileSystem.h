// The file-system services the program relies on, in their POSIX form.
#pragma once

#include <cstddef>
#include <string>

namespace qv {

class FlushGroup;

// Renames a file without ever replacing an existing one: the rename fails with EEXIST when the
// new name is taken. Returns 0 or an errno value.
int RenameNoReplace(const std::string& from, const std::string& to);

// True when something (a file, a directory, a dangling link) has this name.
bool PathExists(const std::string& path);
bool IsRegularFile(const std::string& path);
bool IsDirectory(const std::string& path);
bool IsSymbolicLink(const std::string& path);

// The process's current directory as the system reports it (every link resolved); "" when it
// cannot be told (it was removed).
std::string CurrentDirectory();

// The current directory as the user's shell names it: $PWD when that is an absolute path of
// this very directory (it keeps the symbolic links the user went through), else
// CurrentDirectory().
std::string ShellCurrentDirectory();

// path made absolute against ShellCurrentDirectory() and normalised by its text (NormalisePath),
// so the same file gets the same name however it was given ("a.txt", "./a.txt",
// "sub/../a.txt").
std::string AbsolutePath(const std::string& path);

// The permission bits (mode & 07777) stand for a file's attributes.
bool GetPermissions(const std::string& path, unsigned& mode);
bool SetPermissions(const std::string& path, unsigned mode);

// "Archive only": the read-only attribute cleared, which is the owner's write permission on.
bool SetArchiveOnly(const std::string& path);

// Flushes the directory that holds path, so that a new name or a removed one is on disk.
bool SyncDirectoryOf(const std::string& path);

// Writes count bytes to fd, retrying short writes and interrupted calls. False on failure.
bool WriteAll(int fd, const void* data, std::size_t count);

// Reads up to count bytes from fd, retrying short reads until count bytes or end of file.
// Returns the number of bytes read, or -1 on failure.
long ReadFull(int fd, void* data, std::size_t count);

// Owns an open file descriptor and closes it when it goes out of scope.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    // Closes the descriptor held (if any) and takes fd instead.
    void Reset(int fd = -1);

private:
    int fd_ = -1;
};

// A new file that takes its target's name only when it is complete and on disk, so a failure
// never leaves a half file in place of a good one, and a process that dies while writing leaves
// nothing behind. It is created as an unnamed file (O_TMPFILE) in the target's folder and
// linked to the target's name on commit. Where the file system refuses unnamed files it grows
// under a hidden temporary name in that folder instead, which a crash can leave behind.
class AtomicFile {
public:
    explicit AtomicFile(std::string target);
    // With a group, set before Open, Commit leaves the flush to the group: the file takes its
    // name unflushed and the group holds it open until its Flush.
    explicit AtomicFile(std::string target, FlushGroup* group);
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile(); // discards an uncommitted file

    // Creates the file with the given permission bits. Returns 0 or an errno value
    // (ENAMETOOLONG when the target's name does not fit the folder).
    int Open(unsigned mode = 0600);
    int Fd() const { return fd_; }
    // True when the file has no name until its commit.
    bool Unnamed() const { return unnamed_; }
    // The temporary name of a named file, "" for an unnamed one.
    const std::string& TempPath() const { return tempPath_; }
    const std::string& Target() const { return target_; }

    bool Write(const void* data, std::size_t count);

    // Flushes the file, gives it the target's name and closes it, then flushes the folder. With
    // replace false an existing target is kept and the commit fails with EEXIST; with replace
    // true the file moves over an existing target in one step, replacing nothing else. Returns
    // 0 or an errno value. When the file could not take its name it stays open (Fd) for
    // Discard; when only the flush of the folder failed the file is already in place
    // (Committed() is true) but its new name may not survive a crash. With a flush group
    // neither file nor folder is flushed here, and the group takes the open file.
    int Commit(bool replace = true);
    bool Committed() const { return committed_; }

    // Closes the file and removes it unless it was committed. Its content is not overwritten:
    // a caller that wrote secrets overwrites them through Fd first.
    void Discard();

private:
    // Links the unnamed file under path; 0 or an errno value.
    int LinkAs(const std::string& path) const;
    // Links the unnamed file under a fresh hidden name in the target's folder.
    int LinkUnderTemporaryName(std::string& path) const;

    std::string target_;
    FlushGroup* group_ = nullptr;
    std::string tempPath_;
    int fd_ = -1;
    bool unnamed_ = false;
    bool committed_ = false;
};

} // namespace qv
