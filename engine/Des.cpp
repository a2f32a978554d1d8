#include "Des.h"

#include "SecureMemory.h"

#include <array>

namespace qv {

namespace {

constexpr std::uint8_t PC1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
                                  10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
                                  63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
                                  14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

constexpr std::uint8_t PC2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                                  26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                                  51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

// Cumulative left shifts of the key halves for rounds 1 to 16.
constexpr std::uint8_t TotalShift[16] = {1, 2, 4, 6, 8, 10, 12, 14, 15, 17, 19, 21, 23, 25, 27, 28};

constexpr std::uint8_t P[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                                2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};

constexpr std::uint8_t S[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8, 3, 10, 6, 12, 5,  9,  0,  7,  0,  15, 7,  4,  14, 2,
     13, 1,  10, 6, 12, 11, 9,  5, 3, 8,  4, 1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,
     3,  10, 5,  0, 15, 12, 8,  2, 4, 9,  1, 7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8,  14, 6,  11, 3,  4, 9,  7,  2, 13, 12, 0,  5,  10, 3,  13, 4,  7, 15, 2,
     8,  14, 12, 0,  1,  10, 6,  9, 11, 5,  0, 14, 7,  11, 10, 4,  13, 1,  5,  8, 12, 6,
     9,  3,  2,  15, 13, 8,  10, 1, 3,  15, 4, 2,  11, 6,  7,  12, 0,  5,  14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7, 11, 4,  2,  8,  13, 7, 0,  9, 3, 4,
     6,  10, 2,  8,  5, 14, 12, 11, 15, 1,  13, 6, 4,  9,  8,  15, 3,  0, 11, 1, 2, 12,
     5,  10, 14, 7,  1, 10, 13, 0,  6,  9,  8,  7, 4,  15, 14, 3,  11, 5, 2,  12},
    {7, 13, 14, 3, 0, 6,  9, 10, 1,  2, 8,  5, 11, 12, 4,  15, 13, 8,  11, 5, 6, 15,
     0, 3,  4,  7, 2, 12, 1, 10, 14, 9, 10, 6, 9,  0,  12, 11, 7,  13, 15, 1, 3, 14,
     5, 2,  8,  4, 3, 15, 0, 6,  10, 1, 13, 8, 9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4, 1,  7,  10, 11, 6, 8, 5,  3, 15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5, 0,  15, 10, 3,  9, 8, 6,  4, 2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0, 14, 11, 8,  12, 7, 1, 14, 2, 13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6, 8,  0, 13, 3,  4,  14, 7,  5, 11, 10, 15, 4, 2, 7, 12,
     9,  5,  6,  1,  13, 14, 0, 11, 3, 8,  9,  14, 15, 5,  2, 8,  12, 3,  7, 0, 4, 10,
     1,  13, 11, 6,  4,  3,  2, 12, 9, 5,  15, 10, 11, 14, 1, 7,  6,  0,  8, 13},
    {4, 11, 2,  14, 15, 0,  8,  13, 3, 12, 9,  7, 5,  10, 6,  1,  13, 0,  11, 7,  4, 9,
     1, 10, 14, 3,  5,  12, 2,  15, 8, 6,  1,  4, 11, 13, 12, 3,  7,  14, 10, 15, 6, 8,
     0, 5,  9,  2,  6,  11, 13, 8,  1, 4,  10, 7, 9,  5,  0,  15, 14, 2,  3,  12},
    {13, 2, 8,  4, 6, 15, 11, 1,  10, 9,  3, 14, 5,  0,  12, 7,  1,  15, 13, 8, 10, 3,
     7,  4, 12, 5, 6, 11, 0,  14, 9,  2,  7, 11, 4,  1,  9,  12, 14, 2,  0,  6, 10, 13,
     15, 3, 5,  8, 2, 1,  14, 7,  4,  10, 8, 13, 15, 12, 9,  0,  3,  5,  6,  11}};

constexpr std::uint32_t RotateLeft(std::uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}
constexpr std::uint32_t RotateRight(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

// Round-function tables: entry v of table k is the output of S-box k+1 for the 6-bit input v
// (bit 1 of the group being its most significant bit), placed at its four bit positions, passed
// through P and rotated left by one bit (the halves stay rotated through the rounds).
constexpr std::array<std::array<std::uint32_t, 64>, 8> MakeSpTables() {
    std::array<std::array<std::uint32_t, 64>, 8> sp{};
    for (int box = 0; box < 8; ++box)
        for (int v = 0; v < 64; ++v) {
            const int row = ((v >> 4) & 2) | (v & 1);
            const int column = (v >> 1) & 15;
            const std::uint32_t placed = static_cast<std::uint32_t>(S[box][row * 16 + column])
                                         << (28 - 4 * box);
            std::uint32_t permuted = 0;
            for (int i = 0; i < 32; ++i)
                if (placed & (1u << (32 - P[i])))
                    permuted |= 1u << (31 - i);
            sp[box][v] = RotateLeft(permuted, 1);
        }
    return sp;
}

constexpr auto SP = MakeSpTables();

inline std::uint32_t Feistel(std::uint32_t r, std::uint32_t w0, std::uint32_t w1) {
    const std::uint32_t x = RotateRight(r, 4) ^ w0;
    const std::uint32_t y = r ^ w1;
    return SP[0][(x >> 24) & 63] ^ SP[2][(x >> 16) & 63] ^ SP[4][(x >> 8) & 63] ^ SP[6][x & 63] ^
           SP[1][(y >> 24) & 63] ^ SP[3][(y >> 16) & 63] ^ SP[5][(y >> 8) & 63] ^ SP[7][y & 63];
}

// w = ((a >> shift) ^ b) & mask; b ^= w; a ^= w << shift.
inline void Exchange(std::uint32_t& a, std::uint32_t& b, int shift, std::uint32_t mask) {
    const std::uint32_t w = ((a >> shift) ^ b) & mask;
    b ^= w;
    a ^= w << shift;
}

inline void InitialPermutation(const std::uint8_t* block, std::uint32_t& l, std::uint32_t& r) {
    l = std::uint32_t{block[0]} << 24 | std::uint32_t{block[1]} << 16 |
        std::uint32_t{block[2]} << 8 | block[3];
    r = std::uint32_t{block[4]} << 24 | std::uint32_t{block[5]} << 16 |
        std::uint32_t{block[6]} << 8 | block[7];
    Exchange(l, r, 4, 0x0F0F0F0F);
    Exchange(l, r, 16, 0x0000FFFF);
    Exchange(r, l, 2, 0x33333333);
    Exchange(r, l, 8, 0x00FF00FF);
    r = RotateLeft(r, 1);
    const std::uint32_t w = (l ^ r) & 0xAAAAAAAA;
    l ^= w;
    r ^= w;
    l = RotateLeft(l, 1);
}

inline void FinalPermutation(std::uint32_t l, std::uint32_t r, std::uint8_t* block) {
    r = RotateRight(r, 1);
    const std::uint32_t w = (l ^ r) & 0xAAAAAAAA;
    l ^= w;
    r ^= w;
    l = RotateRight(l, 1);
    Exchange(l, r, 8, 0x00FF00FF);
    Exchange(l, r, 2, 0x33333333);
    Exchange(r, l, 16, 0x0000FFFF);
    Exchange(r, l, 4, 0x0F0F0F0F);
    block[0] = static_cast<std::uint8_t>(r >> 24);
    block[1] = static_cast<std::uint8_t>(r >> 16);
    block[2] = static_cast<std::uint8_t>(r >> 8);
    block[3] = static_cast<std::uint8_t>(r);
    block[4] = static_cast<std::uint8_t>(l >> 24);
    block[5] = static_cast<std::uint8_t>(l >> 16);
    block[6] = static_cast<std::uint8_t>(l >> 8);
    block[7] = static_cast<std::uint8_t>(l);
}

// Sixteen rounds, two at a time so that the exchange of the halves after each round needs no
// moves; after an even number of exchanges l and r are back in their roles.
inline void SixteenRounds(const std::uint32_t* keys, std::uint32_t& l, std::uint32_t& r) {
    for (int i = 0; i < 32; i += 4) {
        l ^= Feistel(r, keys[i], keys[i + 1]);
        r ^= Feistel(l, keys[i + 2], keys[i + 3]);
    }
}

} // namespace

DesSchedule::DesSchedule() noexcept {
    Clear();
}
DesSchedule::~DesSchedule() {
    Clear();
}
void DesSchedule::Clear() noexcept {
    SecureZero(keys, sizeof keys);
}

void TripleDesSchedule::Clear() noexcept {
    first.Clear();
    second.Clear();
    third.Clear();
}

void DesSetKey(DesSchedule& schedule, const std::uint8_t key[8], bool decipher) noexcept {
    SecureArray<std::uint8_t, 56> permuted; // one bit per byte
    SecureArray<std::uint8_t, 56> rotated;
    for (int j = 0; j < 56; ++j) {
        const int bit = PC1[j] - 1;
        permuted[j] = (key[bit >> 3] >> (7 - (bit & 7))) & 1;
    }
    for (int round = 0; round < 16; ++round) {
        const int shift = TotalShift[round];
        for (int j = 0; j < 28; ++j) {
            rotated[j] = permuted[(j + shift) % 28];
            rotated[28 + j] = permuted[28 + (j + shift) % 28];
        }
        std::uint32_t groups[8];
        for (int g = 0; g < 8; ++g) {
            std::uint32_t v = 0;
            for (int b = 0; b < 6; ++b)
                v = (v << 1) | rotated[PC2[6 * g + b] - 1];
            groups[g] = v;
        }
        const int slot = decipher ? 15 - round : round;
        schedule.keys[2 * slot] = groups[0] << 24 | groups[2] << 16 | groups[4] << 8 | groups[6];
        schedule.keys[2 * slot + 1] =
            groups[1] << 24 | groups[3] << 16 | groups[5] << 8 | groups[7];
        SecureZero(groups, sizeof groups);
    }
}

void DesBlock(const DesSchedule& schedule, std::uint8_t block[8]) noexcept {
    std::uint32_t l, r;
    InitialPermutation(block, l, r);
    SixteenRounds(schedule.keys, l, r);
    FinalPermutation(l, r, block);
}

void TripleDesSetKey(TripleDesSchedule& schedule, const std::uint8_t key[24],
                     bool decipher) noexcept {
    if (!decipher) {
        DesSetKey(schedule.first, key, false);
        DesSetKey(schedule.second, key + 8, true);
        DesSetKey(schedule.third, key + 16, false);
    } else {
        DesSetKey(schedule.first, key + 16, true);
        DesSetKey(schedule.second, key + 8, false);
        DesSetKey(schedule.third, key, true);
    }
}

void TripleDesBlock(const TripleDesSchedule& schedule, std::uint8_t block[8]) noexcept {
    // The final permutation of one DES step and the initial permutation of the next cancel,
    // leaving only the exchange of the halves between the steps.
    std::uint32_t l, r;
    InitialPermutation(block, l, r);
    SixteenRounds(schedule.first.keys, l, r);
    SixteenRounds(schedule.second.keys, r, l);
    SixteenRounds(schedule.third.keys, l, r);
    FinalPermutation(l, r, block);
}

} // namespace qv
