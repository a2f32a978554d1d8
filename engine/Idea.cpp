#include "Idea.h"

#include "ByteOrder.h"
#include "IdeaLanes.h"
#include "SecureMemory.h"

#include <utility>

namespace qv {

IdeaSubkeys::IdeaSubkeys() noexcept {
    Clear();
}
IdeaSubkeys::~IdeaSubkeys() {
    Clear();
}
void IdeaSubkeys::Clear() noexcept {
    SecureZero(keys, sizeof keys);
}

namespace {

// The product modulo 65537 of two 16-bit values held in 32-bit words, 0 standing for 65536; the
// result is again a 16-bit value with the upper bits clear. b is the subkey.
//
// For a non-zero product the result is the low half minus the high half plus the borrow. The
// zero cases need no branch on the (secret) operands: a zero subkey is multiplied as 65536,
// which gives 1 - a through the same formula, and a zero a (product 0) adds 1 - b instead of
// the borrow's 0. That addend is chosen while the multiplication is under way, so one
// multiplication takes the product's latency and three one-cycle steps: in enciphering, where
// every block waits on the one before, the rounds wait on nothing else.
inline std::uint32_t Mul(std::uint32_t a, std::uint32_t b) {
    const std::uint32_t b65536 = ((b - 1) & 0xFFFF) + 1;
    const std::uint32_t oneMinusB = (1u - b) & 0xFFFF;
    const std::uint32_t p = a * b65536; // at most 65535 * 65536
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    // Written out because the compilers turn the select into a jump on the operand or clear the
    // upper bits again, and this multiplication is the whole cost of IDEA.
    std::uint32_t r, hi, zeroCase;
    asm("mov %[p], %[hi]\n\t"
        "shr $16, %[hi]\n\t"
        "movzwl %w[p], %[r]\n\t"
        "xor %[zero], %[zero]\n\t"
        "test %[a], %[a]\n\t"
        "cmovz %[oneMinusB], %[zero]\n\t"
        "sub %w[hi], %w[r]\n\t"
        "adc %w[zero], %w[r]"
        : [r] "=&r"(r), [hi] "=&r"(hi), [zero] "=&r"(zeroCase)
        : [p] "r"(p), [a] "r"(a), [oneMinusB] "r"(oneMinusB)
        : "cc");
    return r;
#else
    const std::uint32_t hi = p >> 16;
    const std::uint32_t lo = p & 0xFFFF;
    const std::uint32_t borrow = (lo - hi) >> 31; // lo < hi; both are at most 65536
    const std::uint32_t aIsZero = 0u - (((a | (0u - a)) >> 31) ^ 1u);
    return (lo - hi + borrow + (oneMinusB & aIsZero)) & 0xFFFF;
#endif
}

// (a + b) mod 65536 of two 16-bit values held in 32-bit words, upper bits clear. On x86-64 one
// 16-bit addition, which leaves the upper bits clear without a step of its own.
inline std::uint32_t Add(std::uint32_t a, std::uint32_t b) {
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
    asm("add %w[b], %w[a]" : [a] "+r"(a) : [b] "r"(b) : "cc");
    return a;
#else
    return (a + b) & 0xFFFF;
#endif
}

// The four words of one block, each a 16-bit value with the upper bits clear.
struct Words {
    std::uint32_t x1, x2, x3, x4;
};

[[gnu::always_inline]] inline void Round(Words& w, const std::uint16_t* z) {
    const std::uint32_t x1 = Mul(w.x1, z[0]);
    const std::uint32_t x2 = Add(w.x2, z[1]);
    const std::uint32_t x3 = Add(w.x3, z[2]);
    const std::uint32_t x4 = Mul(w.x4, z[3]);
    std::uint32_t t0 = Mul(x1 ^ x3, z[4]);
    const std::uint32_t t1 = Mul(Add(x2 ^ x4, t0), z[5]);
    t0 = Add(t0, t1);
    w.x1 = x1 ^ t1;
    w.x4 = x4 ^ t0;
    w.x2 = x3 ^ t1;
    w.x3 = x2 ^ t0;
}

// N independent block words at once, in place (byte i of a block in bits 8i to 8i+7, so each
// 16-bit word is least significant byte first). One block alone waits on every multiplication
// in turn, while the multiplications of different blocks overlap in the processor. The lanes
// are spelled out by the index pack, so that every word stays in a register.
template <std::size_t... J>
[[gnu::always_inline]] inline void Blocks(std::uint64_t* blocks, const std::uint16_t* z,
                                          std::index_sequence<J...>) {
    Words w[sizeof...(J)];
    ((w[J] = {static_cast<std::uint32_t>(blocks[J] & 0xFFFF),
              static_cast<std::uint32_t>((blocks[J] >> 16) & 0xFFFF),
              static_cast<std::uint32_t>((blocks[J] >> 32) & 0xFFFF),
              static_cast<std::uint32_t>(blocks[J] >> 48)}),
     ...);
    for (int round = 0; round < 8; ++round, z += 6)
        (Round(w[J], z), ...);
    // The output transformation undoes the exchange of the last round.
    ((blocks[J] = std::uint64_t{Mul(w[J].x1, z[0])} | std::uint64_t{Add(w[J].x3, z[1])} << 16 |
                  std::uint64_t{Add(w[J].x2, z[2])} << 32 |
                  std::uint64_t{Mul(w[J].x4, z[3])} << 48),
     ...);
}

constexpr std::size_t Lanes = 4;

} // namespace

std::uint16_t IdeaMul(std::uint16_t a, std::uint16_t b) noexcept {
    return static_cast<std::uint16_t>(Mul(a, b));
}

std::uint16_t IdeaMulInverse(std::uint16_t x) noexcept {
    if (x <= 1)
        return x;
    // Extended Euclid on 65537 and x, keeping only the coefficient of x.
    std::int32_t r0 = 65537, r1 = x;
    std::int32_t t0 = 0, t1 = 1;
    while (r1 != 0) {
        const std::int32_t q = r0 / r1;
        const std::int32_t r2 = r0 - q * r1;
        const std::int32_t t2 = t0 - q * t1;
        r0 = r1;
        r1 = r2;
        t0 = t1;
        t1 = t2;
    }
    if (t0 < 0)
        t0 += 65537;
    return static_cast<std::uint16_t>(t0);
}

void IdeaExpandKey(const std::uint8_t key[16], IdeaSubkeys& subkeys) noexcept {
    std::uint16_t* z = subkeys.keys;
    for (int i = 0; i < 8; ++i)
        z[i] = LoadLittle<std::uint16_t>(key + 2 * i);
    // Each group of eight is the 128-bit key rotated left by 25 more bits.
    for (int i = 8; i < 52; ++i) {
        const int high = (i % 8 == 7) ? i - 15 : i - 7;
        const int low = (i % 8 >= 6) ? i - 14 : i - 6;
        z[i] = static_cast<std::uint16_t>(((z[high] & 0x7F) << 9) | (z[low] >> 7));
    }
}

void IdeaInvertKey(const IdeaSubkeys& subkeys, IdeaSubkeys& inverse) noexcept {
    // Built in a temporary table so that subkeys and inverse may be the same object.
    IdeaSubkeys temp;
    const std::uint16_t* z = subkeys.keys;
    std::uint16_t* d = temp.keys;
    auto neg = [](std::uint16_t v) { return static_cast<std::uint16_t>(0u - v); };
    // Enciphering round k (1 to 9) starts at z + 6 * (k - 1).
    auto round = [z](int k) { return z + 6 * (k - 1); };

    const std::uint16_t* last = round(9);
    d[0] = IdeaMulInverse(last[0]);
    d[1] = neg(last[1]);
    d[2] = neg(last[2]);
    d[3] = IdeaMulInverse(last[3]);
    d[4] = round(8)[4];
    d[5] = round(8)[5];
    for (int r = 2; r <= 8; ++r) {
        const std::uint16_t* e = round(10 - r);
        std::uint16_t* out = d + 6 * (r - 1);
        out[0] = IdeaMulInverse(e[0]);
        out[1] = neg(e[2]);
        out[2] = neg(e[1]);
        out[3] = IdeaMulInverse(e[3]);
        out[4] = round(9 - r)[4];
        out[5] = round(9 - r)[5];
    }
    const std::uint16_t* first = round(1);
    d[48] = IdeaMulInverse(first[0]);
    d[49] = neg(first[1]);
    d[50] = neg(first[2]);
    d[51] = IdeaMulInverse(first[3]);

    for (int i = 0; i < 52; ++i)
        inverse.keys[i] = d[i];
    // temp zeroes itself as it goes out of scope.
}

std::uint64_t IdeaBlockWord(const IdeaSubkeys& subkeys, std::uint64_t block) noexcept {
    Blocks(&block, subkeys.keys, std::make_index_sequence<1>());
    return block;
}

void IdeaBlock(const std::uint8_t input[8], std::uint8_t output[8],
               const IdeaSubkeys& subkeys) noexcept {
    StoreLittle(output, IdeaBlockWord(subkeys, LoadLittle<std::uint64_t>(input)));
}

void IdeaBlocks(const IdeaSubkeys& subkeys, const std::uint8_t* in, std::uint8_t* out,
                std::size_t count) noexcept {
    IdeaBlocks(subkeys, in, out, count, ActiveCipherPath());
}

void IdeaBlocks(const IdeaSubkeys& subkeys, const std::uint8_t* in, std::uint8_t* out,
                std::size_t count, CipherPath path) noexcept {
    // The widest path first; each narrower one takes what is left of its group size.
    std::size_t i = 0;
    if (path >= CipherPath::Avx512)
        i += IdeaBlocksAvx512(subkeys.keys, in + 8 * i, out + 8 * i, count - i);
    if (path >= CipherPath::Avx2)
        i += IdeaBlocksAvx2(subkeys.keys, in + 8 * i, out + 8 * i, count - i);
    if (path >= CipherPath::Sse2)
        i += IdeaBlocksSse2(subkeys.keys, in + 8 * i, out + 8 * i, count - i);
    std::uint64_t words[Lanes];
    for (; i + Lanes <= count; i += Lanes) {
        for (std::size_t j = 0; j < Lanes; ++j)
            words[j] = LoadLittle<std::uint64_t>(in + 8 * (i + j));
        Blocks(words, subkeys.keys, std::make_index_sequence<Lanes>());
        for (std::size_t j = 0; j < Lanes; ++j)
            StoreLittle(out + 8 * (i + j), words[j]);
    }
    for (; i < count; ++i)
        StoreLittle(out + 8 * i, IdeaBlockWord(subkeys, LoadLittle<std::uint64_t>(in + 8 * i)));
    SecureZero(words, sizeof words);
}

} // namespace qv
