#include "ProcessGuard.h"

#include <algorithm>
#include <csignal>
#include <sys/prctl.h>
#include <sys/resource.h>

namespace qv {

bool DisableCoreDumps() {
    bool ok = true;
    struct rlimit none {};
    if (setrlimit(RLIMIT_CORE, &none) != 0)
        ok = false;
    if (prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0)
        ok = false;
    return ok;
}

namespace {

// The write that passed the limit returns EFBIG once this handler has run.
void FileSizeLimitReached(int) {}

} // namespace

bool SurviveFileSizeLimit() {
    struct sigaction action {};
    action.sa_handler = FileSizeLimitReached;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return sigaction(SIGXFSZ, &action, nullptr) == 0;
}

unsigned long RaiseOpenFileLimit() {
    struct rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 0;
    constexpr rlim_t Most = 65536;
    const rlim_t wanted = limit.rlim_max == RLIM_INFINITY ? Most : std::min(limit.rlim_max, Most);
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
        struct rlimit raised = limit;
        raised.rlim_cur = wanted;
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    return static_cast<unsigned long>(limit.rlim_cur);
}

} // namespace qv
