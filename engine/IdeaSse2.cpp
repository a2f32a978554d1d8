// The SSE2 path of IdeaBlocks: eight blocks in the 16-bit lanes of each 128-bit register, and
// several such sets of registers at once (see IdeaLanesKernel.h).
#include "IdeaLanes.h"

#if defined(__x86_64__)
#include "IdeaLanesKernel.h"

#include <emmintrin.h>

namespace {

struct Sse2Ops {
    using V = __m128i;
    using Mask = __m128i; // all ones in the chosen lanes
    static constexpr std::size_t Lanes = 8;

    static V Load(const std::uint8_t* p) noexcept {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    }
    static void Store(std::uint8_t* p, V v) noexcept {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
    }
    static V Splat(std::uint16_t w) noexcept { return _mm_set1_epi16(static_cast<short>(w)); }
    static V Zero() noexcept { return _mm_setzero_si128(); }

    static V Add(V a, V b) noexcept { return _mm_add_epi16(a, b); }
    static V Sub(V a, V b) noexcept { return _mm_sub_epi16(a, b); }
    static V Xor(V a, V b) noexcept { return _mm_xor_si128(a, b); }
    static V MulLo(V a, V b) noexcept { return _mm_mullo_epi16(a, b); }
    static V MulHi(V a, V b) noexcept { return _mm_mulhi_epu16(a, b); }

    // SSE2 has no unsigned 16-bit comparison: a <= b exactly when a - b saturates to 0.
    static Mask NotAbove(V a, V b) noexcept {
        return _mm_cmpeq_epi16(_mm_subs_epu16(a, b), Zero());
    }
    static Mask IsZero(V a) noexcept { return _mm_cmpeq_epi16(a, Zero()); }
    static V IncrementWhere(V x, Mask m) noexcept { return _mm_sub_epi16(x, m); }
    static V SubWhere(V x, Mask m, V a, V b) noexcept {
        return _mm_xor_si128(x, _mm_and_si128(m, _mm_xor_si128(x, _mm_sub_epi16(a, b))));
    }

    static V Unpack16Lo(V a, V b) noexcept { return _mm_unpacklo_epi16(a, b); }
    static V Unpack16Hi(V a, V b) noexcept { return _mm_unpackhi_epi16(a, b); }
    static V Unpack32Lo(V a, V b) noexcept { return _mm_unpacklo_epi32(a, b); }
    static V Unpack32Hi(V a, V b) noexcept { return _mm_unpackhi_epi32(a, b); }
    static V Unpack64Lo(V a, V b) noexcept { return _mm_unpacklo_epi64(a, b); }
    static V Unpack64Hi(V a, V b) noexcept { return _mm_unpackhi_epi64(a, b); }
};

// Four sets of registers side by side: fewer leave the multiplier waiting on the latency of the
// multiplication, more gain nothing and run short of registers (measured on Zen 5).
constexpr std::size_t Sets = 4;

} // namespace
#endif

namespace qv {

std::size_t IdeaBlocksSse2(const std::uint16_t subkeys[52], const std::uint8_t* in,
                           std::uint8_t* out, std::size_t count) noexcept {
#if defined(__x86_64__)
    return idea_lanes::Blocks<Sse2Ops, Sets>(subkeys, in, out, count);
#else
    (void)subkeys;
    (void)in;
    (void)out;
    (void)count;
    return 0;
#endif
}

} // namespace qv
