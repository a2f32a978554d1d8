// The AVX-512 path of IdeaBlocks: thirty-two blocks in the 16-bit lanes of each 512-bit
// register, and several such sets of registers at once (see IdeaLanesKernel.h). Compiled with
// -mavx512f -mavx512bw -mavx512vl; the lane masks live in mask registers.
#include "IdeaLanes.h"

#if defined(__x86_64__)
#include "IdeaLanesKernel.h"

#include <immintrin.h>

namespace {

struct Avx512Ops {
    using V = __m512i;
    using Mask = __mmask32;
    static constexpr std::size_t Lanes = 32;

    static V Load(const std::uint8_t* p) noexcept { return _mm512_loadu_si512(p); }
    static void Store(std::uint8_t* p, V v) noexcept { _mm512_storeu_si512(p, v); }
    static V Splat(std::uint16_t w) noexcept { return _mm512_set1_epi16(static_cast<short>(w)); }
    static V Zero() noexcept { return _mm512_setzero_si512(); }

    static V Add(V a, V b) noexcept { return _mm512_add_epi16(a, b); }
    static V Sub(V a, V b) noexcept { return _mm512_sub_epi16(a, b); }
    static V Xor(V a, V b) noexcept { return _mm512_xor_si512(a, b); }
    static V MulLo(V a, V b) noexcept { return _mm512_mullo_epi16(a, b); }
    static V MulHi(V a, V b) noexcept { return _mm512_mulhi_epu16(a, b); }

    static Mask NotAbove(V a, V b) noexcept { return _mm512_cmple_epu16_mask(a, b); }
    static Mask IsZero(V a) noexcept { return _mm512_testn_epi16_mask(a, a); }
    static V IncrementWhere(V x, Mask m) noexcept {
        return _mm512_mask_sub_epi16(x, m, x, _mm512_set1_epi16(-1));
    }
    static V SubWhere(V x, Mask m, V a, V b) noexcept { return _mm512_mask_sub_epi16(x, m, a, b); }

    static V Unpack16Lo(V a, V b) noexcept { return _mm512_unpacklo_epi16(a, b); }
    static V Unpack16Hi(V a, V b) noexcept { return _mm512_unpackhi_epi16(a, b); }
    // The unmasked forms of these four start from an undefined vector, which g++ 12 reports as
    // maybe used uninitialised; merging into a with every lane chosen is the same instruction.
    static V Unpack32Lo(V a, V b) noexcept { return _mm512_mask_unpacklo_epi32(a, 0xFFFF, a, b); }
    static V Unpack32Hi(V a, V b) noexcept { return _mm512_mask_unpackhi_epi32(a, 0xFFFF, a, b); }
    static V Unpack64Lo(V a, V b) noexcept { return _mm512_mask_unpacklo_epi64(a, 0xFF, a, b); }
    static V Unpack64Hi(V a, V b) noexcept { return _mm512_mask_unpackhi_epi64(a, 0xFF, a, b); }
};

// Four sets of registers side by side: fewer leave the multiplier waiting on the latency of the
// multiplication, more gain nothing and run short of registers (measured on Zen 5).
constexpr std::size_t Sets = 4;

} // namespace
#endif

namespace qv {

std::size_t IdeaBlocksAvx512(const std::uint16_t subkeys[52], const std::uint8_t* in,
                             std::uint8_t* out, std::size_t count) noexcept {
#if defined(__x86_64__)
    return idea_lanes::Blocks<Avx512Ops, Sets>(subkeys, in, out, count);
#else
    (void)subkeys;
    (void)in;
    (void)out;
    (void)count;
    return 0;
#endif
}

} // namespace qv
