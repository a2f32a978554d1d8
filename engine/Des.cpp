#include "Des.h"

#include "ByteOrder.h"
#include "DesSlices.h"
#include "DesTables.h"
#include "SecureMemory.h"

#include <array>
#include <utility>

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

using des_tables::P;
using des_tables::S;

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

// The same tables indexed by a whole byte, whose top two bits are ignored: picking a byte out of
// a word then takes one instruction instead of a shift and a mask.
constexpr std::array<std::array<std::uint32_t, 256>, 8> MakeByteTables() {
    constexpr auto sp = MakeSpTables();
    std::array<std::array<std::uint32_t, 256>, 8> wide{};
    for (int box = 0; box < 8; ++box)
        for (int v = 0; v < 256; ++v)
            wide[box][v] = sp[box][v & 63];
    return wide;
}

constexpr auto SP = MakeByteTables();

// Keeps the compiler from regrouping a chain of XORs: it would otherwise turn the tree below
// into one long chain, each step waiting for the one before. Emits no instruction.
inline std::uint32_t Settled(std::uint32_t v) {
    asm("" : "+r"(v));
    return v;
}

// The round function of one round with its pair of round-key words. A block worked on alone
// waits for every round in turn: its eight look-ups are combined as a tree, so that they do not
// wait for each other. Blocks worked on together keep the processor busy anyway: there one
// chain of XORs with the table entries read in place takes fewer instructions.
template <bool Tree>
inline std::uint32_t Feistel(std::uint32_t r, std::uint32_t w0, std::uint32_t w1) {
    const std::uint32_t x = RotateRight(r, 4) ^ w0;
    const std::uint32_t y = r ^ w1;
    if constexpr (Tree) {
        const std::uint32_t a = Settled(SP[0][x >> 24] ^ SP[2][(x >> 16) & 0xFF]);
        const std::uint32_t b = Settled(SP[4][(x >> 8) & 0xFF] ^ SP[6][x & 0xFF]);
        const std::uint32_t c = Settled(SP[1][y >> 24] ^ SP[3][(y >> 16) & 0xFF]);
        const std::uint32_t d = Settled(SP[5][(y >> 8) & 0xFF] ^ SP[7][y & 0xFF]);
        return Settled(a ^ b) ^ Settled(c ^ d);
    } else {
        return SP[0][x >> 24] ^ SP[2][(x >> 16) & 0xFF] ^ SP[4][(x >> 8) & 0xFF] ^ SP[6][x & 0xFF] ^
               SP[1][y >> 24] ^ SP[3][(y >> 16) & 0xFF] ^ SP[5][(y >> 8) & 0xFF] ^ SP[7][y & 0xFF];
    }
}

// w = ((a >> shift) ^ b) & mask; b ^= w; a ^= w << shift.
inline void Exchange(std::uint32_t& a, std::uint32_t& b, int shift, std::uint32_t mask) {
    const std::uint32_t w = ((a >> shift) ^ b) & mask;
    b ^= w;
    a ^= w << shift;
}

// A block word holds byte i of the block in bits 8i to 8i+7; the halves are bytes 0 to 3 and 4 to
// 7, each most significant byte first.
inline void InitialPermutation(std::uint64_t block, std::uint32_t& l, std::uint32_t& r) {
    l = ByteSwapped(static_cast<std::uint32_t>(block));
    r = ByteSwapped(static_cast<std::uint32_t>(block >> 32));
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

inline std::uint64_t FinalPermutation(std::uint32_t l, std::uint32_t r) {
    r = RotateRight(r, 1);
    const std::uint32_t w = (l ^ r) & 0xAAAAAAAA;
    l ^= w;
    r ^= w;
    l = RotateRight(l, 1);
    Exchange(l, r, 8, 0x00FF00FF);
    Exchange(l, r, 2, 0x33333333);
    Exchange(r, l, 16, 0x0000FFFF);
    Exchange(r, l, 4, 0x0F0F0F0F);
    return ByteSwapped(r) | std::uint64_t{ByteSwapped(l)} << 32;
}

// Sixteen rounds on N independent blocks at once, two rounds at a time so that the exchange of
// the halves after each round needs no moves (after an even number of exchanges l and r are
// back in their roles). The blocks do not depend on each other, so the processor overlaps
// their rounds; one block alone waits on every table look-up in turn. The lanes are spelled
// out by the index pack, so that every half stays in a register.
template <std::size_t... J>
[[gnu::always_inline]] inline void SixteenRounds(const std::uint32_t* keys, std::uint32_t* l,
                                                 std::uint32_t* r, std::index_sequence<J...>) {
    for (int i = 0; i < 32; i += 4) {
        ((l[J] ^= Feistel<sizeof...(J) == 1>(r[J], keys[i], keys[i + 1])), ...);
        ((r[J] ^= Feistel<sizeof...(J) == 1>(l[J], keys[i + 2], keys[i + 3])), ...);
    }
}

// The eight look-ups of a round from its two index words, XORed as a tree so that they do not
// wait for each other.
inline std::uint32_t Lookups(std::uint32_t x, std::uint32_t y) {
    const std::uint32_t a = Settled(SP[0][x >> 24] ^ SP[2][(x >> 16) & 0xFF]);
    const std::uint32_t b = Settled(SP[4][(x >> 8) & 0xFF] ^ SP[6][x & 0xFF]);
    const std::uint32_t c = Settled(SP[1][y >> 24] ^ SP[3][(y >> 16) & 0xFF]);
    const std::uint32_t d = Settled(SP[5][(y >> 8) & 0xFF] ^ SP[7][y & 0xFF]);
    return Settled(a ^ b) ^ Settled(c ^ d);
}

// Sixteen rounds on one block, for enciphering in a chain, where every block waits on the one
// before and a round takes as long as its longest dependent steps. A round's input would be
// rotated and XORed with its round keys before the look-ups; here the next round's index words
// are the half that does not change, XORed with the next round keys early (one of them rotated
// the other way beforehand), and this round's look-ups, so that the keys leave the chain.
[[gnu::always_inline]] inline void ChainedSixteenRounds(const std::uint32_t* keys,
                                                        std::uint32_t& left, std::uint32_t& right) {
    // Locals, so that the halves stay in registers: the keys could alias the references.
    std::uint32_t l = left, r = right;
    std::uint32_t x = RotateRight(r, 4) ^ keys[0];
    std::uint32_t y = r ^ keys[1];
    // One round: half ^= F(index words); the next round's index words come from the new half.
    auto round = [&x, &y](std::uint32_t& half, const std::uint32_t* next) {
        const std::uint32_t early0 = Settled(half ^ RotateLeft(next[0], 4));
        const std::uint32_t early1 = Settled(half ^ next[1]);
        const std::uint32_t f = Lookups(x, y);
        x = RotateRight(early0 ^ f, 4);
        y = early1 ^ f;
        half ^= f;
    };
    for (int i = 0; i < 28; i += 4) {
        round(l, keys + i + 2);
        round(r, keys + i + 4);
    }
    round(l, keys + 30);
    r ^= Lookups(x, y);
    left = l;
    right = r;
}

// N block words through the initial permutation, the rounds of one or three schedules and the
// final permutation, in place. In triple DES the final permutation of one DES step and the
// initial permutation of the next cancel, leaving only the exchange of the halves between the
// steps.
template <std::size_t N>
[[gnu::always_inline]] inline void Blocks(const DesSchedule* const* schedules, int steps,
                                          std::uint64_t* words) {
    std::uint32_t l[N], r[N];
    for (std::size_t j = 0; j < N; ++j)
        InitialPermutation(words[j], l[j], r[j]);
    for (int step = 0; step < steps; ++step) {
        std::uint32_t* first = step % 2 == 0 ? l : r;
        std::uint32_t* second = step % 2 == 0 ? r : l;
        if constexpr (N == 1)
            ChainedSixteenRounds(schedules[step]->keys, first[0], second[0]);
        else
            SixteenRounds(schedules[step]->keys, first, second, std::make_index_sequence<N>());
    }
    for (std::size_t j = 0; j < N; ++j)
        words[j] = FinalPermutation(l[j], r[j]);
}

// Four blocks at a time keep the processor busy without running out of registers.
constexpr std::size_t Lanes = 4;

void ManyBlocks(const DesSchedule* const* schedules, int steps, const std::uint8_t* in,
                std::uint8_t* out, std::size_t count, CipherPath path) {
    // The widest path first; each narrower one takes what is left of its group size.
    const std::uint32_t* keys[3] = {};
    for (int step = 0; step < steps; ++step)
        keys[step] = schedules[step]->keys;
    std::size_t i = 0;
    if (path >= CipherPath::Avx512)
        i += DesBlocksAvx512(keys, steps, in + 8 * i, out + 8 * i, count - i);
    if (path >= CipherPath::Avx2)
        i += DesBlocksAvx2(keys, steps, in + 8 * i, out + 8 * i, count - i);
    if (path >= CipherPath::Sse2)
        i += DesBlocksSse2(keys, steps, in + 8 * i, out + 8 * i, count - i);
    std::uint64_t words[Lanes];
    for (; i + Lanes <= count; i += Lanes) {
        for (std::size_t j = 0; j < Lanes; ++j)
            words[j] = LoadLittle<std::uint64_t>(in + 8 * (i + j));
        Blocks<Lanes>(schedules, steps, words);
        for (std::size_t j = 0; j < Lanes; ++j)
            StoreLittle(out + 8 * (i + j), words[j]);
    }
    for (; i < count; ++i) {
        words[0] = LoadLittle<std::uint64_t>(in + 8 * i);
        Blocks<1>(schedules, steps, words);
        StoreLittle(out + 8 * i, words[0]);
    }
    SecureZero(words, sizeof words);
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

std::uint64_t DesBlockWord(const DesSchedule& schedule, std::uint64_t block) noexcept {
    const DesSchedule* schedules[] = {&schedule};
    Blocks<1>(schedules, 1, &block);
    return block;
}

void DesBlock(const DesSchedule& schedule, std::uint8_t block[8]) noexcept {
    StoreLittle(block, DesBlockWord(schedule, LoadLittle<std::uint64_t>(block)));
}

std::size_t DesPassBlocks(CipherPath path) noexcept {
    switch (path) {
    case CipherPath::Avx512:
        return 512;
    case CipherPath::Avx2:
        return 256;
    case CipherPath::Sse2:
        return 128;
    case CipherPath::Portable:
        break;
    }
    return Lanes;
}

void DesBlocks(const DesSchedule& schedule, const std::uint8_t* in, std::uint8_t* out,
               std::size_t count, CipherPath path) noexcept {
    const DesSchedule* schedules[] = {&schedule};
    ManyBlocks(schedules, 1, in, out, count, path);
}

void DesBlocks(const DesSchedule& schedule, const std::uint8_t* in, std::uint8_t* out,
               std::size_t count) noexcept {
    DesBlocks(schedule, in, out, count, ActiveCipherPath());
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

std::uint64_t TripleDesBlockWord(const TripleDesSchedule& schedule, std::uint64_t block) noexcept {
    const DesSchedule* schedules[] = {&schedule.first, &schedule.second, &schedule.third};
    Blocks<1>(schedules, 3, &block);
    return block;
}

void TripleDesBlock(const TripleDesSchedule& schedule, std::uint8_t block[8]) noexcept {
    StoreLittle(block, TripleDesBlockWord(schedule, LoadLittle<std::uint64_t>(block)));
}

void TripleDesBlocks(const TripleDesSchedule& schedule, const std::uint8_t* in, std::uint8_t* out,
                     std::size_t count, CipherPath path) noexcept {
    const DesSchedule* schedules[] = {&schedule.first, &schedule.second, &schedule.third};
    ManyBlocks(schedules, 3, in, out, count, path);
}

void TripleDesBlocks(const TripleDesSchedule& schedule, const std::uint8_t* in, std::uint8_t* out,
                     std::size_t count) noexcept {
    TripleDesBlocks(schedule, in, out, count, ActiveCipherPath());
}

} // namespace qv
