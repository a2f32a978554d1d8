#include "Drives.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

namespace qv {

namespace {

constexpr std::array<std::string_view, 27> PseudoFileSystems = {
    "autofs",   "binfmt_misc", "bpf",      "cgroup",  "cgroup2",         "configfs",   "debugfs",
    "devpts",   "devtmpfs",    "efivarfs", "fusectl", "hugetlbfs",       "mqueue",     "nsfs",
    "overlay",  "proc",        "pstore",   "ramfs",   "rpc_pipefs",      "securityfs", "selinuxfs",
    "squashfs", "sysfs",       "tmpfs",    "tracefs", "fuse.gvfsd-fuse", "fuse.portal"};

} // namespace

bool IsPseudoFileSystemType(std::string_view type) {
    return std::find(PseudoFileSystems.begin(), PseudoFileSystems.end(), type) !=
           PseudoFileSystems.end();
}

// A line: mount id, parent id, major:minor, root, mount point, options, optional fields, "-",
// the file system type, the source and the super options.
std::string FileSystemTypeIn(std::string_view mountInfo, dev_t device) {
    const std::string wanted = std::to_string(major(device)) + ":" + std::to_string(minor(device));
    std::istringstream lines{std::string(mountInfo)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string id, parent, numbers;
        if (!(fields >> id >> parent >> numbers) || numbers != wanted)
            continue;
        std::string field;
        while (fields >> field && field != "-") {
        }
        std::string type;
        if (fields >> type)
            return type;
    }
    return {};
}

std::string FileSystemTypeOf(dev_t device) {
    std::ifstream file("/proc/self/mountinfo");
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    return FileSystemTypeIn(text, device);
}

std::int64_t DriveTotalSize(const std::string& path) {
    struct statvfs fs {};
    if (path.empty() || statvfs(path.c_str(), &fs) != 0)
        return -1;
    return static_cast<std::int64_t>(fs.f_blocks) * static_cast<std::int64_t>(fs.f_frsize);
}

} // namespace qv
