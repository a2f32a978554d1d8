// The AVX-512 path of DesBlocks: the bitsliced kernel on 512-bit vectors, 512 blocks at a time.
// The S-box circuits are built of three-input instructions (vpternlogq), each computing any
// function of its three operands.
#include "DesSlices.h"

#if defined(__x86_64__)

#include "DesSlicesKernel.h"

#include <immintrin.h>

namespace qv {

namespace {

struct Avx512Ops {
    using V = __m512i;
    // A key mask is one word, broadcast to the whole register by the instruction that uses it.
    using KeyMask = std::uint64_t;
    static constexpr std::size_t Lanes = 8;
    static constexpr bool HasTernary = true;

    static V Load(const std::uint8_t* p) { return _mm512_loadu_si512(p); }
    static void Store(std::uint8_t* p, V v) { _mm512_storeu_si512(p, v); }
    static V Splat(std::uint64_t w) { return _mm512_set1_epi64(static_cast<long long>(w)); }
    // slots[b] = all ones if bit b of bits is set, else zero (b = 0 to 7).
    static void MakeKeys(std::uint32_t bits, KeyMask* slots) {
        _mm512_storeu_si512(slots, _mm512_maskz_set1_epi64(static_cast<__mmask8>(bits), -1));
    }
    static V Key(const KeyMask& k) { return Splat(k); }
    static V Xor(V a, V b) { return _mm512_xor_si512(a, b); }
    template <int Imm>
    static V Ternary(V a, V b, V c) {
        return _mm512_ternarylogic_epi64(a, b, c, Imm);
    }
    // The forms with a mask: those without make g++ 12 warn of an uninitialised value inside
    // its own header.
    template <int N>
    static V ShiftLeft(V a) {
        return _mm512_maskz_slli_epi64(static_cast<__mmask8>(0xFF), a, N);
    }
    template <int N>
    static V ShiftRight(V a) {
        return _mm512_maskz_srli_epi64(static_cast<__mmask8>(0xFF), a, N);
    }
};

} // namespace

std::size_t DesBlocksAvx512(const std::uint32_t* const* schedules, int steps,
                            const std::uint8_t* in, std::uint8_t* out, std::size_t count) noexcept {
    return desslices::DesSliced<Avx512Ops>(schedules, steps, in, out, count);
}

} // namespace qv

#else

namespace qv {

std::size_t DesBlocksAvx512(const std::uint32_t* const*, int, const std::uint8_t*, std::uint8_t*,
                            std::size_t) noexcept {
    return 0;
}

} // namespace qv

#endif
