// libgcrypt serves the tests as an independent implementation of the ciphers. Callers link
// PkgConfig::GCRYPT.
#pragma once

#include <gcrypt.h>

#include <cstddef>
#include <cstdint>
#include <utility>

namespace qvtest {

// Initialises libgcrypt once, without its secure memory (the tests hold no secrets of users).
inline void InitialiseGcrypt() {
    static const bool initialised = [] {
        gcry_check_version(nullptr);
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        return true;
    }();
    (void)initialised;
}

// Exchanges the two bytes of every 16-bit word: the program stores IDEA's words least
// significant byte first, libgcrypt most significant byte first.
inline void SwapWordBytes(std::uint8_t* p, std::size_t n) {
    for (std::size_t i = 0; i + 1 < n; i += 2)
        std::swap(p[i], p[i + 1]);
}

} // namespace qvtest
