// quorvane-register: gives a user the program's registry with its first values, unless the user
// has one already; the user's settings are never overwritten. quorvane takes the same step when
// a user without any settings file starts it; this program does it ahead, or for another path.
#include "InstalledData.h"
#include "RegistryFile.h"

#include <cstdio>
#include <cstring>
#include <string>

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

    std::string error;
    switch (qv::WriteFirstSettings(path, qv::InstalledDataFolder(argv[0]), &error)) {
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
