// The AVX2 path of DesBlocks: the bitsliced kernel on 256-bit vectors, 256 blocks at a time.
#include "DesSlices.h"

#if defined(__x86_64__)

#include "DesSlicesKernel.h"

#include <immintrin.h>

namespace qv {

namespace {

struct Avx2Ops {
    using V = __m256i;
    // A key mask is one word, broadcast to the whole register as it is loaded.
    using KeyMask = std::uint64_t;
    static constexpr std::size_t Lanes = 4;
    static constexpr bool HasTernary = false;

    static V Load(const std::uint8_t* p) {
        return _mm256_loadu_si256(reinterpret_cast<const V*>(p));
    }
    static void Store(std::uint8_t* p, V v) { _mm256_storeu_si256(reinterpret_cast<V*>(p), v); }
    static V Splat(std::uint64_t w) { return _mm256_set1_epi64x(static_cast<long long>(w)); }
    // slots[b] = all ones if bit b of bits is set, else zero (b = 0 to 7).
    static void MakeKeys(std::uint32_t bits, KeyMask* slots) {
        const V spread = _mm256_set1_epi64x(bits);
        const V low = _mm256_set_epi64x(8, 4, 2, 1), high = _mm256_set_epi64x(128, 64, 32, 16);
        _mm256_storeu_si256(reinterpret_cast<V*>(slots),
                            _mm256_cmpeq_epi64(_mm256_and_si256(spread, low), low));
        _mm256_storeu_si256(reinterpret_cast<V*>(slots + 4),
                            _mm256_cmpeq_epi64(_mm256_and_si256(spread, high), high));
    }
    static V Key(const KeyMask& k) { return Splat(k); }
    static V And(V a, V b) { return _mm256_and_si256(a, b); }
    static V AndNot(V a, V b) { return _mm256_andnot_si256(a, b); } // ~a & b
    static V Or(V a, V b) { return _mm256_or_si256(a, b); }
    static V Xor(V a, V b) { return _mm256_xor_si256(a, b); }
    template <int N>
    static V ShiftLeft(V a) {
        return _mm256_slli_epi64(a, N);
    }
    template <int N>
    static V ShiftRight(V a) {
        return _mm256_srli_epi64(a, N);
    }
};

} // namespace

std::size_t DesBlocksAvx2(const std::uint32_t* const* schedules, int steps, const std::uint8_t* in,
                          std::uint8_t* out, std::size_t count) noexcept {
    return desslices::DesSliced<Avx2Ops>(schedules, steps, in, out, count);
}

} // namespace qv

#else

namespace qv {

std::size_t DesBlocksAvx2(const std::uint32_t* const*, int, const std::uint8_t*, std::uint8_t*,
                          std::size_t) noexcept {
    return 0;
}

} // namespace qv

#endif
