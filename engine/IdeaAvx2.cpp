// The AVX2 path of IdeaBlocks: sixteen blocks in the 16-bit lanes of each 256-bit register, and
// several such sets of registers at once (see IdeaLanesKernel.h). Compiled with -mavx2.
#include "IdeaLanes.h"

#if defined(__x86_64__)
#include "IdeaLanesKernel.h"

#include <immintrin.h>

namespace {

struct Avx2Ops {
    using V = __m256i;
    using Mask = __m256i; // all ones in the chosen lanes
    static constexpr std::size_t Lanes = 16;

    static V Load(const std::uint8_t* p) noexcept {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
    static void Store(std::uint8_t* p, V v) noexcept {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
    }
    static V Splat(std::uint16_t w) noexcept { return _mm256_set1_epi16(static_cast<short>(w)); }
    static V Zero() noexcept { return _mm256_setzero_si256(); }

    static V Add(V a, V b) noexcept { return _mm256_add_epi16(a, b); }
    static V Sub(V a, V b) noexcept { return _mm256_sub_epi16(a, b); }
    static V Xor(V a, V b) noexcept { return _mm256_xor_si256(a, b); }
    static V MulLo(V a, V b) noexcept { return _mm256_mullo_epi16(a, b); }
    static V MulHi(V a, V b) noexcept { return _mm256_mulhi_epu16(a, b); }

    static Mask NotAbove(V a, V b) noexcept {
        return _mm256_cmpeq_epi16(_mm256_min_epu16(a, b), a);
    }
    static Mask IsZero(V a) noexcept { return _mm256_cmpeq_epi16(a, Zero()); }
    static V IncrementWhere(V x, Mask m) noexcept { return _mm256_sub_epi16(x, m); }
    static V SubWhere(V x, Mask m, V a, V b) noexcept {
        return _mm256_blendv_epi8(x, _mm256_sub_epi16(a, b), m);
    }

    static V Unpack16Lo(V a, V b) noexcept { return _mm256_unpacklo_epi16(a, b); }
    static V Unpack16Hi(V a, V b) noexcept { return _mm256_unpackhi_epi16(a, b); }
    static V Unpack32Lo(V a, V b) noexcept { return _mm256_unpacklo_epi32(a, b); }
    static V Unpack32Hi(V a, V b) noexcept { return _mm256_unpackhi_epi32(a, b); }
    static V Unpack64Lo(V a, V b) noexcept { return _mm256_unpacklo_epi64(a, b); }
    static V Unpack64Hi(V a, V b) noexcept { return _mm256_unpackhi_epi64(a, b); }
};

// Four sets of registers side by side: fewer leave the multiplier waiting on the latency of the
// multiplication, more gain nothing and run short of registers (measured on Zen 5).
constexpr std::size_t Sets = 4;

} // namespace
#endif

namespace qv {

std::size_t IdeaBlocksAvx2(const std::uint16_t subkeys[52], const std::uint8_t* in,
                           std::uint8_t* out, std::size_t count) noexcept {
#if defined(__x86_64__)
    return idea_lanes::Blocks<Avx2Ops, Sets>(subkeys, in, out, count);
#else
    (void)subkeys;
    (void)in;
    (void)out;
    (void)count;
    return 0;
#endif
}

} // namespace qv
