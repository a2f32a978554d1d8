#include "InstalledData.h"

#include "Paths.h"

#include <cstdlib>

namespace qv {

std::string InstalledDataFolder(const char* argv0) {
    char* self = realpath("/proc/self/exe", nullptr);
    if (!self && argv0)
        self = realpath(argv0, nullptr);
    const std::string folder = self ? DirectoryPart(self) : std::string(".");
    std::free(self);
    const std::string relative = JoinPath(folder, QV_DATA_FROM_BIN);
    char* data = realpath(relative.c_str(), nullptr);
    std::string result = data ? data : relative;
    std::free(data);
    return result;
}

FirstWriteResult WriteFirstSettings(const std::string& path, const std::string& dataDir,
                                    std::string* error) {
    std::string browser = FindOnPath("xdg-open");
    if (browser.empty())
        browser = "/usr/bin/xdg-open";
    std::string refused;
    RegistryFile registry = FirstRegistry(dataDir, browser + " %1", &refused);
    if (!refused.empty()) {
        if (error)
            *error = refused +
                     " cannot be kept in the settings file (control characters together with "
                     "bytes that are not UTF-8); nothing was written";
        return FirstWriteResult::Failed;
    }
    registry.SetPath(path);
    return WriteFirstRegistry(registry, error);
}

} // namespace qv
