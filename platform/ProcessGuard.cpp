#include "ProcessGuard.h"

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

} // namespace qv
