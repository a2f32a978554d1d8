#include "Idea.h"

#include "SecureMemory.h"

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

// The same product as IdeaMul, without a branch on the (secret) operands: when either operand
// is 0 the 32-bit product is 0, and the result is 1 - a - b modulo 65536.
inline std::uint16_t Mul(std::uint16_t a, std::uint16_t b) {
    const std::uint32_t p = std::uint32_t{a} * b;
    const std::uint32_t hi = p >> 16;
    const std::uint32_t lo = p & 0xFFFF;
    const std::uint32_t borrow = (lo - hi) >> 31; // lo < hi; both are below 65536
    const auto product = static_cast<std::uint16_t>(lo - hi + borrow);
    const auto zeroCase = static_cast<std::uint16_t>(1u - a - b);
    const auto nonZero = static_cast<std::uint16_t>(0u - ((p | (0u - p)) >> 31));
    return static_cast<std::uint16_t>((product & nonZero) | (zeroCase & ~nonZero));
}

inline std::uint16_t Load16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline void Store16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

} // namespace

std::uint16_t IdeaMul(std::uint16_t a, std::uint16_t b) noexcept {
    return Mul(a, b);
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
        z[i] = Load16(key + 2 * i);
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

void IdeaBlock(const std::uint8_t input[8], std::uint8_t output[8],
               const IdeaSubkeys& subkeys) noexcept {
    std::uint16_t x1 = Load16(input), x2 = Load16(input + 2);
    std::uint16_t x3 = Load16(input + 4), x4 = Load16(input + 6);
    const std::uint16_t* z = subkeys.keys;
    for (int round = 0; round < 8; ++round, z += 6) {
        x1 = Mul(x1, z[0]);
        x2 = static_cast<std::uint16_t>(x2 + z[1]);
        x3 = static_cast<std::uint16_t>(x3 + z[2]);
        x4 = Mul(x4, z[3]);
        std::uint16_t t0 = Mul(x1 ^ x3, z[4]);
        const std::uint16_t t1 = Mul(static_cast<std::uint16_t>((x2 ^ x4) + t0), z[5]);
        t0 = static_cast<std::uint16_t>(t0 + t1);
        x1 ^= t1;
        x4 ^= t0;
        const std::uint16_t oldX2 = x2;
        x2 = x3 ^ t1;
        x3 = oldX2 ^ t0;
    }
    // The output transformation undoes the exchange of the last round.
    Store16(output, Mul(x1, z[0]));
    Store16(output + 2, static_cast<std::uint16_t>(x3 + z[1]));
    Store16(output + 4, static_cast<std::uint16_t>(x2 + z[2]));
    Store16(output + 6, Mul(x4, z[3]));
}

} // namespace qv
