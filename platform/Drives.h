// Drives: the root, the mount points of real file systems and the home folder. A drive is ready
// when its file system answers with a total size above 0.
#pragma once

#include <cstdint>
#include <string>

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

} // namespace qv
