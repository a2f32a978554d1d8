// One-pass secure delete of a file.
#pragma once

#include <cstddef>
#include <string>

namespace qv {

class FlushGroup;

// Lets a caller (a test) watch a wipe as it happens.
class WipeObserver {
public:
    virtual ~WipeObserver() = default;
    virtual void Renamed(const std::string& /*newPath*/) {}
    virtual void Wrote(std::size_t /*count*/) {}
    // Called once the overwrite pass is complete and on disk, before truncation; fd is open for
    // reading and writing.
    virtual void Overwritten(int /*fd*/) {}
};

inline constexpr const char* WipeFirstName = "~~~~~~~~.~~~";
inline constexpr const char* WipeSecondName = "~";
inline constexpr std::size_t WipeBlockSize = 1024;

// Wipes the regular file at path (a symbolic link or anything else fails at once, untouched):
// turns its owner write permission on, renames it to "~~~~~~~~.~~~" and then to "~" in its own
// folder (never replacing a file of either name), overwrites its whole length once with one
// block of 1024 bytes from the application's pseudo-random generator, flushes that to disk,
// truncates the file to length 0 and erases it. Returns 0, or -2 when a
// step failed. After a failed step the file is put back under its own name when it had already
// been renamed, so it stays where its owner will look for it.
[[nodiscard]] int WipeFile(const std::string& path, WipeObserver* observer = nullptr);

// A wipe in two steps, for runs that flush the overwrites of many files together. StartWipe
// does what WipeFile does up to the overwrite, which it leaves unflushed; then it erases the name
// "~" while the file is still open, so that the next file of the folder can be wiped, and gives
// the open file to group (its ticket in ticket). Returns 0, or -2 as WipeFile does, with the file
// under its own name again. Once the group's Flush has put the overwrite on disk, FinishWipe
// truncates the file, and the group's Clear closes it: it is gone. A crash in between leaves no
// name behind; the file system frees the file's blocks when it mounts again.
[[nodiscard]] int StartWipe(const std::string& path, FlushGroup& group, std::size_t& ticket,
                            WipeObserver* observer = nullptr);
// The file open at fd, given to the group by StartWipe, after the group's Flush: truncated to 0.
[[nodiscard]] bool FinishWipe(int fd, WipeObserver* observer = nullptr);

// The path of what stands in the way of a wipe of path: a file (or anything else) named
// "~~~~~~~~.~~~" or "~" in path's folder, which a wipe renames its file to and never replaces.
// Most likely the plain file of a wipe that was interrupted. "" when neither name is taken.
std::string WipeNameInTheWay(const std::string& path);

// Overwrites the whole content of the file open at fd (for reading and writing) once with a
// block from the pseudo-random generator, flushes that to disk and truncates the file to length
// 0. For a file that has no name to wipe by, such as a partial output that is given up. True
// when every step succeeded.
[[nodiscard]] bool OverwriteContent(int fd);

} // namespace qv
