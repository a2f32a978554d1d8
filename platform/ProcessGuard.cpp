#include "ProcessGuard.h"

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

} // namespace qv
