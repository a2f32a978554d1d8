// The file-system services the program relies on, in their POSIX form.
#pragma once

#include <cstddef>
#include <string>

namespace qv {

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

// A file written under a temporary name in the folder of its target and moved into place only
// when it is complete and on disk, so a failure never leaves a half file in place of a good one.
class AtomicFile {
public:
    explicit AtomicFile(std::string target);
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile(); // discards an uncommitted temporary file

    // Creates the temporary file with the given permission bits. Returns 0 or an errno value.
    int Open(unsigned mode = 0600);
    int Fd() const { return fd_; }
    const std::string& TempPath() const { return tempPath_; }
    const std::string& Target() const { return target_; }

    bool Write(const void* data, std::size_t count);

    // Flushes the file, closes it and moves it to the target name, then flushes the folder.
    // With replace false an existing target is kept and the commit fails with EEXIST.
    // Returns 0 or an errno value. When the move failed the temporary file is left for Discard;
    // when only the flush of the folder failed the file is already in place (Committed() is
    // true) but its new name may not survive a crash.
    int Commit(bool replace = true);
    bool Committed() const { return committed_; }

    // Closes and removes the temporary file (a no-op after a successful commit).
    void Discard();

    // Closes the file and gives it up without removing it, for callers that dispose of it
    // themselves; TempPath still names it until the next Open.
    void Close();

private:
    std::string target_;
    std::string tempPath_;
    int fd_ = -1;
    bool committed_ = false;
    bool released_ = false;
};

} // namespace qv
