// The ways the ciphers can work on many blocks at once: the portable code, or the processor's
// vector instructions (x86-64: SSE2, AVX2, AVX-512). The widest path the processor has is used;
// QUORVANE_CIPHER_PATH=portable|sse2|avx2|avx512 forces one, so that tests and benchmarks reach
// every path the machine supports. Every path gives the same bytes.
#pragma once

#include <optional>
#include <string_view>

namespace qv {

enum class CipherPath { Portable, Sse2, Avx2, Avx512 };

inline constexpr CipherPath AllCipherPaths[] = {CipherPath::Portable, CipherPath::Sse2,
                                                CipherPath::Avx2, CipherPath::Avx512};

// "portable", "sse2", "avx2", "avx512".
const char* CipherPathName(CipherPath path) noexcept;
std::optional<CipherPath> CipherPathNamed(std::string_view name) noexcept;

// Whether this build has the path and this processor (and its operating system) can run it.
// Avx512 needs the foundation, byte-and-word and vector-length sets.
bool CipherPathSupported(CipherPath path) noexcept;
// The widest supported path.
CipherPath BestCipherPath() noexcept;
// The path named by QUORVANE_CIPHER_PATH when it is set and supported, else the best one. Read
// on every call (cheap), so a test may change the variable between engine calls.
CipherPath ActiveCipherPath() noexcept;

} // namespace qv
