#include "Wipe.h"

#include "FileSystem.h"
#include "FlushGroup.h"
#include "Paths.h"
#include "Random.h"
#include "SecureMemory.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {

namespace {

constexpr int WipeFailed = -2;

// Overwrites the whole length of the file at fd with the repeated block, and flushes that to disk
// unless flush is false (the caller flushes it later, before the truncation).
bool OverwriteOnce(int fd, const std::uint8_t* block, std::size_t size, WipeObserver* observer,
                   bool flush = true) {
    std::size_t written = 0;
    do {
        const std::size_t offsetInBlock = written % WipeBlockSize;
        std::size_t count = WipeBlockSize - offsetInBlock;
        if (size - written < count)
            count = size - written;
        const ssize_t n = pwrite(fd, block + offsetInBlock, count, static_cast<off_t>(written));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0 && count != 0)
            return false;
        written += static_cast<std::size_t>(n);
        if (observer)
            observer->Wrote(static_cast<std::size_t>(n));
    } while (written < size);
    // The new bytes must reach the disk before the truncation frees the file's blocks; otherwise
    // the old content would stay on disk.
    return !flush || fdatasync(fd) == 0 || errno == EINVAL;
}

// One block of the pseudo-random generator's bytes, the pattern every overwrite repeats.
void FillWipeBlock(SecureArray<std::uint8_t, WipeBlockSize>& block) {
    RandomBytes(block.data(), WipeBlockSize);
}

} // namespace

std::string WipeNameInTheWay(const std::string& path) {
    const std::string dir = DirectoryPart(path);
    for (const char* name : {WipeFirstName, WipeSecondName}) {
        const std::string taken = JoinPath(dir, name);
        if (PathExists(taken))
            return taken;
    }
    return {};
}

bool OverwriteContent(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    SecureArray<std::uint8_t, WipeBlockSize> block;
    FillWipeBlock(block);
    return OverwriteOnce(fd, block.data(), static_cast<std::size_t>(st.st_size), nullptr) &&
           ftruncate(fd, 0) == 0;
}

namespace {

// The steps of WipeFile; with a group the overwrite is not flushed, the name is erased while
// the file is still open, and the group takes the file (its ticket in ticket) for FinishWipe.
int Wipe(const std::string& path, WipeObserver* observer, FlushGroup* group, std::size_t* ticket) {
    // Only a regular file is wiped. Through a symbolic link the overwrite would destroy the
    // content of the file it points to, which stays in place; a caller deleting the link then
    // loses nothing.
    struct stat own {};
    if (lstat(path.c_str(), &own) != 0 || !S_ISREG(own.st_mode))
        return WipeFailed;
    if (!SetArchiveOnly(path))
        return WipeFailed;

    const std::string dir = DirectoryPart(path);
    const std::string firstName = JoinPath(dir, WipeFirstName);
    const std::string secondName = JoinPath(dir, WipeSecondName);
    if (group)
        group->Watch(dir.empty() ? std::string(".") : dir);

    if (RenameNoReplace(path, firstName) != 0)
        return WipeFailed;
    if (observer)
        observer->Renamed(firstName);
    std::string current = firstName;
    auto failAndRestore = [&]() {
        RenameNoReplace(current, path);
        return WipeFailed;
    };

    if (RenameNoReplace(firstName, secondName) != 0)
        return failAndRestore();
    current = secondName;
    if (observer)
        observer->Renamed(secondName);

    SecureArray<std::uint8_t, WipeBlockSize> block;
    FillWipeBlock(block);

    const int fd = open(secondName.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return failAndRestore();
    struct stat st {};
    if (fstat(fd, &st) != 0 ||
        !OverwriteOnce(fd, block.data(), static_cast<std::size_t>(st.st_size), observer,
                       group == nullptr)) {
        close(fd);
        return failAndRestore();
    }
    if (group) {
        // The open file keeps its blocks, and the overwrite in them, until the group has flushed
        // it; the name is free for the next file of this folder.
        if (unlink(secondName.c_str()) != 0) {
            close(fd);
            return failAndRestore();
        }
        *ticket = group->Hold(fd, secondName);
        return 0;
    }
    if (observer)
        observer->Overwritten(fd);
    if (ftruncate(fd, 0) != 0) {
        close(fd);
        return failAndRestore();
    }
    if (close(fd) != 0 || unlink(secondName.c_str()) != 0)
        return failAndRestore();
    SyncDirectoryOf(secondName);
    return 0;
}

} // namespace

int WipeFile(const std::string& path, WipeObserver* observer) {
    return Wipe(path, observer, nullptr, nullptr);
}

int StartWipe(const std::string& path, FlushGroup& group, std::size_t& ticket,
              WipeObserver* observer) {
    return Wipe(path, observer, &group, &ticket);
}

bool FinishWipe(int fd, WipeObserver* observer) {
    if (observer)
        observer->Overwritten(fd);
    return ftruncate(fd, 0) == 0;
}

} // namespace qv
