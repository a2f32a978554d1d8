#include "SessionEnvironment.h"

#include <cstdlib>
#include <pwd.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace qv {

namespace {

std::string UserName() {
    const uid_t uid = geteuid();
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_name && *found->pw_name)
        return found->pw_name;
    return std::to_string(uid);
}

} // namespace

void ProvideRuntimeFolder() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        return;
    std::string base = "/tmp";
    if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp)
        base = tmp;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    const std::string folder = (base == "/" ? std::string() : base) + "/runtime-" + UserName();
    setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
}

} // namespace qv
