// quorvane-register: gives a user the program's registry with its first values, unless the user
// has one already; the user's settings are never overwritten. Part of the installation; run it
// once as each user who uses the program.
#include "FirstSettings.h"

#include "Paths.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The installed data folder: beside the folder of this program, as the installation lays it
// out.
std::string DataFolder(const char* argv0) {
    char* self = realpath("/proc/self/exe", nullptr);
    if (!self)
        self = realpath(argv0, nullptr);
    std::string folder = self ? qv::DirectoryPart(self) : std::string(".");
    std::free(self);
    char* data = realpath(qv::JoinPath(folder, QV_DATA_FROM_BIN).c_str(), nullptr);
    std::string result = data ? data : qv::JoinPath(folder, QV_DATA_FROM_BIN);
    std::free(data);
    return result;
}

} // namespace

int main(int argc, char** argv) {
    std::string path = qv::RegistryFile::DefaultPath();
    bool quiet = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quiet") == 0) {
            quiet = true;
        } else if (std::strcmp(argv[i], "--registry") == 0 && i + 1 < argc) {
            path = argv[++i];
        } else {
            std::fprintf(stderr,
                         "usage: %s [--registry FILE] [--quiet]\n"
                         "Writes the Quorvane registry with its first values when there is "
                         "none (default %s).\n",
                         argv[0], qv::RegistryFile::DefaultPath().c_str());
            return 2;
        }
    }

    std::string browser = qv::FindOnPath("xdg-open");
    if (browser.empty())
        browser = "/usr/bin/xdg-open";
    std::string refused;
    qv::RegistryFile registry = qv::FirstRegistry(DataFolder(argv[0]), browser + " %1", &refused);
    if (!refused.empty()) {
        std::fprintf(stderr,
                     "quorvane-register: %s cannot be kept in the settings file (control "
                     "characters together with bytes that are not UTF-8); nothing was written\n",
                     refused.c_str());
        return 1;
    }
    registry.SetPath(path);

    std::string error;
    switch (qv::WriteFirstRegistry(registry, &error)) {
    case qv::FirstWriteResult::Written:
        if (!quiet)
            std::printf("Wrote the first settings to %s\n", path.c_str());
        return 0;
    case qv::FirstWriteResult::AlreadyThere:
        if (!quiet)
            std::printf("Kept the settings in %s\n", path.c_str());
        return 0;
    case qv::FirstWriteResult::Failed:
        break;
    }
    std::fprintf(stderr, "quorvane-register: %s\n", error.c_str());
    return 1;
}
