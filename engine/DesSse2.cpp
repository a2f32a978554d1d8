// The SSE2 path of DesBlocks: the bitsliced kernel on 128-bit vectors, 128 blocks at a time.
#include "DesSlices.h"

#if defined(__x86_64__)

#include "DesSlicesKernel.h"

#include <emmintrin.h>

namespace qv {

namespace {

struct Sse2Ops {
    using V = __m128i;
    // A key mask is one word, repeated across the register where it is used: SSE2 takes an
    // extra instruction for that, but whole masks for triple DES would be twice the data cache
    // of the smaller processors that lack AVX2.
    using KeyMask = std::uint64_t;
    static constexpr std::size_t Lanes = 2;
    static constexpr bool HasTernary = false;

    static V Load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
    static void Store(std::uint8_t* p, V v) { _mm_storeu_si128(reinterpret_cast<V*>(p), v); }
    static V Splat(std::uint64_t w) { return _mm_set1_epi64x(static_cast<long long>(w)); }
    // slots[b] = all ones if bit b of bits is set, else zero (b = 0 to 7).
    static void MakeKeys(std::uint32_t bits, KeyMask* slots) {
        for (int b = 0; b < 8; ++b)
            slots[b] = std::uint64_t{0} - ((bits >> b) & 1);
    }
    static V Key(const KeyMask& k) { return Splat(k); }
    static V And(V a, V b) { return _mm_and_si128(a, b); }
    static V AndNot(V a, V b) { return _mm_andnot_si128(a, b); } // ~a & b
    static V Or(V a, V b) { return _mm_or_si128(a, b); }
    static V Xor(V a, V b) { return _mm_xor_si128(a, b); }
    template <int N>
    static V ShiftLeft(V a) {
        return _mm_slli_epi64(a, N);
    }
    template <int N>
    static V ShiftRight(V a) {
        return _mm_srli_epi64(a, N);
    }
};

} // namespace

std::size_t DesBlocksSse2(const std::uint32_t* const* schedules, int steps, const std::uint8_t* in,
                          std::uint8_t* out, std::size_t count) noexcept {
    return desslices::DesSliced<Sse2Ops>(schedules, steps, in, out, count);
}

} // namespace qv

#else

namespace qv {

std::size_t DesBlocksSse2(const std::uint32_t* const*, int, const std::uint8_t*, std::uint8_t*,
                          std::size_t) noexcept {
    return 0;
}

} // namespace qv

#endif
