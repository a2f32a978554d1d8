// Drives: the root, the mount points of real file systems and the home folder. A drive is ready
// when its file system answers with a total size above 0.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace qv {

// Total size in bytes of the file system at path, or -1 when it does not answer.
std::int64_t DriveTotalSize(const std::string& path);

// Tells whether a drive is ready. The desktop program asks the file system; tests answer from
// a script.
class DriveCheck {
public:
    virtual ~DriveCheck() = default;
    virtual bool IsReady(const std::string& drive) const { return DriveTotalSize(drive) > 0; }
};

// File systems that hold no user files of their own (proc, sysfs, devtmpfs, tmpfs, ...): no
// drive of the drive box, and never entered by a run over a directory tree.
bool IsPseudoFileSystemType(std::string_view type);

// The type of the file system mounted with device number device ("ext4", "proc", ...) from the
// text of /proc/self/mountinfo; "" when no line names the device.
std::string FileSystemTypeIn(std::string_view mountInfo, dev_t device);
// The same from this process's /proc/self/mountinfo.
std::string FileSystemTypeOf(dev_t device);

} // namespace qv
