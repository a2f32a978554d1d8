#include "CipherPaths.h"

#include <cstdlib>

namespace qv {

const char* CipherPathName(CipherPath path) noexcept {
    switch (path) {
    case CipherPath::Sse2:
        return "sse2";
    case CipherPath::Avx2:
        return "avx2";
    case CipherPath::Avx512:
        return "avx512";
    case CipherPath::Portable:
        break;
    }
    return "portable";
}

std::optional<CipherPath> CipherPathNamed(std::string_view name) noexcept {
    for (const CipherPath path : AllCipherPaths)
        if (name == CipherPathName(path))
            return path;
    return std::nullopt;
}

bool CipherPathSupported(CipherPath path) noexcept {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    // The compiler's feature test also asks the operating system whether it saves the wider
    // registers.
    __builtin_cpu_init();
    switch (path) {
    case CipherPath::Portable:
    case CipherPath::Sse2:
        return true;
    case CipherPath::Avx2:
        return __builtin_cpu_supports("avx2");
    case CipherPath::Avx512:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx512vl");
    }
    return false;
#else
    return path == CipherPath::Portable;
#endif
}

CipherPath BestCipherPath() noexcept {
    static const CipherPath best = [] {
        CipherPath widest = CipherPath::Portable;
        for (const CipherPath path : AllCipherPaths)
            if (CipherPathSupported(path))
                widest = path;
        return widest;
    }();
    return best;
}

CipherPath ActiveCipherPath() noexcept {
    if (const char* forced = std::getenv("QUORVANE_CIPHER_PATH"))
        if (const auto path = CipherPathNamed(forced); path && CipherPathSupported(*path))
            return *path;
    return BestCipherPath();
}

} // namespace qv
