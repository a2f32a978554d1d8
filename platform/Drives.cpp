#include "Drives.h"

#include <sys/statvfs.h>

namespace qv {

std::int64_t DriveTotalSize(const std::string& path) {
    struct statvfs fs {};
    if (path.empty() || statvfs(path.c_str(), &fs) != 0)
        return -1;
    return static_cast<std::int64_t>(fs.f_blocks) * static_cast<std::int64_t>(fs.f_frsize);
}

} // namespace qv
