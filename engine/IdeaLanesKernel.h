// IDEA on many independent blocks at once, one block in each 16-bit lane of a vector: the kernel
// shared by the SSE2, AVX2 and AVX-512 paths of IdeaLanes.h, written once over a small set of
// vector operations.
//
// Each path supplies a traits type Ops, defined in an unnamed namespace of the file compiled
// for its instruction set, and instantiates the templates below with it. Every template here
// takes Ops, so every instantiation has internal linkage and its code, built for the wider set,
// is never shared with another file. For the same reason nothing here calls an inline function
// of another header.
//
// Ops provides:
//   V, Mask                    a vector of 16-bit lanes and a lane mask (V again on SSE2 and
//                              AVX2, a mask register on AVX-512)
//   Lanes                      16-bit lanes in a V
//   Load(p), Store(p, v)       unaligned load and store of one V
//   Splat(w), Zero()           w, or 0, in every lane
//   Add, Sub, Xor              lane by lane, modulo 2^16
//   MulLo, MulHi               low and high halves of the unsigned 32-bit lane products
//   NotAbove(a, b)             the lanes where a <= b, unsigned
//   IsZero(a)                  the lanes where a == 0
//   IncrementWhere(x, m)       x + 1 where m, x elsewhere
//   SubWhere(x, m, a, b)       a - b where m, x elsewhere
//   Unpack16Lo/Hi, Unpack32Lo/Hi, Unpack64Lo/Hi
//                              the interleaving of the low or high halves of two vectors in
//                              16-, 32- and 64-bit elements, within each 128-bit lane
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

namespace qv::idea_lanes {

// A multiplying subkey in every lane, with 1 - subkey for the product when an operand is 0.
template <class Ops>
struct MulKey {
    typename Ops::V z;
    typename Ops::V oneMinusZ;
};

template <class Ops>
struct RoundKeys {
    MulKey<Ops> z0, z3, z4, z5;
    typename Ops::V z1, z2;
};

// The 52 subkeys spread over the lanes, held on the stack for one call.
template <class Ops>
struct Keys {
    RoundKeys<Ops> rounds[8];
    MulKey<Ops> z48, z51;
    typename Ops::V z49, z50;
};

// The four words of as many blocks as a V has lanes: x1 holds the first word of every block.
template <class Ops>
struct Words {
    typename Ops::V x1, x2, x3, x4;
};

template <class Ops>
[[gnu::always_inline]] inline void SpreadMulKey(MulKey<Ops>& key, std::uint16_t z) noexcept {
    key.z = Ops::Splat(z);
    key.oneMinusZ = Ops::Splat(static_cast<std::uint16_t>(1u - z));
}

template <class Ops>
[[gnu::always_inline]] inline void SpreadKeys(Keys<Ops>& keys, const std::uint16_t* z) noexcept {
    for (int round = 0; round < 8; ++round, z += 6) {
        RoundKeys<Ops>& k = keys.rounds[round];
        SpreadMulKey<Ops>(k.z0, z[0]);
        k.z1 = Ops::Splat(z[1]);
        k.z2 = Ops::Splat(z[2]);
        SpreadMulKey<Ops>(k.z3, z[3]);
        SpreadMulKey<Ops>(k.z4, z[4]);
        SpreadMulKey<Ops>(k.z5, z[5]);
    }
    SpreadMulKey<Ops>(keys.z48, z[0]);
    keys.z49 = Ops::Splat(z[1]);
    keys.z50 = Ops::Splat(z[2]);
    SpreadMulKey<Ops>(keys.z51, z[3]);
}

// Multiplication modulo 65537, 0 standing for 65536, without a branch or a look-up. For
// operands a, z in 1..65535 the product is hi * 65536 + lo = lo - hi modulo 65537, so the result
// is lo - hi, plus 65537 (that is, plus 1 in 16 bits) when lo < hi. lo == hi would make the
// product a multiple of the prime 65537, so it happens only when the 32-bit product is 0, that
// is when a or z is 0 and stands for 65536 = -1: the result is then -z, -a or (-1)(-1) = 1,
// which is 1 - a - z in 16 bits in each case and replaces whatever lo - hi gave. That leaves
// lo <= hi free to mean lo < hi, which SSE2 and AVX2 test more cheaply.
template <class Ops>
[[gnu::always_inline]] inline typename Ops::V Mul(typename Ops::V a,
                                                  const MulKey<Ops>& key) noexcept {
    using V = typename Ops::V;
    const V lo = Ops::MulLo(a, key.z);
    const V hi = Ops::MulHi(a, key.z);
    const V difference = Ops::Sub(lo, hi);
    // Both masks first, so that the two corrections may change difference where it is.
    const auto borrow = Ops::NotAbove(lo, hi);
    const auto zero = Ops::IsZero(difference);
    return Ops::SubWhere(Ops::IncrementWhere(difference, borrow), zero, key.oneMinusZ, a);
}

// One round, as Round of Idea.cpp.
template <class Ops>
[[gnu::always_inline]] inline void Round(Words<Ops>& w, const RoundKeys<Ops>& k) noexcept {
    using V = typename Ops::V;
    const V x1 = Mul<Ops>(w.x1, k.z0);
    const V x2 = Ops::Add(w.x2, k.z1);
    const V x3 = Ops::Add(w.x3, k.z2);
    const V x4 = Mul<Ops>(w.x4, k.z3);
    const V t0 = Mul<Ops>(Ops::Xor(x1, x3), k.z4);
    const V t1 = Mul<Ops>(Ops::Add(Ops::Xor(x2, x4), t0), k.z5);
    const V t2 = Ops::Add(t0, t1);
    w.x1 = Ops::Xor(x1, t1);
    w.x2 = Ops::Xor(x3, t1);
    w.x3 = Ops::Xor(x2, t2);
    w.x4 = Ops::Xor(x4, t2);
}

template <class Ops, std::size_t Sets, std::size_t... J>
[[gnu::always_inline]] inline void RoundOfSets(Words<Ops> (&w)[Sets], const RoundKeys<Ops>& k,
                                               std::index_sequence<J...>) noexcept {
    (Round<Ops>(w[J], k), ...);
}

// Four vectors of blocks (8 bytes each, four little-endian words) into the words. Within each
// 128-bit lane, holding blocks a to h (words a1 a2 a3 a4, ...):
//   v0 = a1 a2 a3 a4 b1 b2 b3 b4   v1 = c1 ..  d4   v2 = e1 .. f4   v3 = g1 .. h4
//   u0 = a1 c1 a2 c2 a3 c3 a4 c4   u1 = b1 d1 .. b4 d4   u2 = e1 g1 ..   u3 = f1 h1 ..
//   s0 = a1 b1 c1 d1 a2 b2 c2 d2   s1 = a3 .. d3 a4 .. d4   s2 = e1 .. h2   s3 = e3 .. h4
//   x1 = a1 b1 c1 d1 e1 f1 g1 h1   x2 = a2 .. h2   x3 = a3 .. h3   x4 = a4 .. h4
template <class Ops>
[[gnu::always_inline]] inline void LoadWords(const std::uint8_t* p, Words<Ops>& w) noexcept {
    using V = typename Ops::V;
    const V v0 = Ops::Load(p);
    const V v1 = Ops::Load(p + sizeof(V));
    const V v2 = Ops::Load(p + 2 * sizeof(V));
    const V v3 = Ops::Load(p + 3 * sizeof(V));
    const V u0 = Ops::Unpack16Lo(v0, v1);
    const V u1 = Ops::Unpack16Hi(v0, v1);
    const V u2 = Ops::Unpack16Lo(v2, v3);
    const V u3 = Ops::Unpack16Hi(v2, v3);
    const V s0 = Ops::Unpack16Lo(u0, u1);
    const V s1 = Ops::Unpack16Hi(u0, u1);
    const V s2 = Ops::Unpack16Lo(u2, u3);
    const V s3 = Ops::Unpack16Hi(u2, u3);
    w.x1 = Ops::Unpack64Lo(s0, s2);
    w.x2 = Ops::Unpack64Hi(s0, s2);
    w.x3 = Ops::Unpack64Lo(s1, s3);
    w.x4 = Ops::Unpack64Hi(s1, s3);
}

// The inverse of LoadWords: words y1 to y4 of the blocks back into four vectors of blocks.
//   p0 = a1 a2 b1 b2 c1 c2 d1 d2   p1 = e1 e2 .. h1 h2   q0 = a3 a4 .. d3 d4   q1 = e3 e4 ..
//   v0 = a1 a2 a3 a4 b1 b2 b3 b4   v1 = c1 .. d4   v2 = e1 .. f4   v3 = g1 .. h4
template <class Ops>
[[gnu::always_inline]] inline void StoreWords(std::uint8_t* p, typename Ops::V y1,
                                              typename Ops::V y2, typename Ops::V y3,
                                              typename Ops::V y4) noexcept {
    using V = typename Ops::V;
    const V p0 = Ops::Unpack16Lo(y1, y2);
    const V p1 = Ops::Unpack16Hi(y1, y2);
    const V q0 = Ops::Unpack16Lo(y3, y4);
    const V q1 = Ops::Unpack16Hi(y3, y4);
    Ops::Store(p, Ops::Unpack32Lo(p0, q0));
    Ops::Store(p + sizeof(V), Ops::Unpack32Hi(p0, q0));
    Ops::Store(p + 2 * sizeof(V), Ops::Unpack32Lo(p1, q1));
    Ops::Store(p + 3 * sizeof(V), Ops::Unpack32Hi(p1, q1));
}

template <class Ops, std::size_t Sets, std::size_t... J, std::size_t... R>
[[gnu::always_inline]] inline void RoundsOfSets(Words<Ops> (&w)[Sets], const Keys<Ops>& keys,
                                                std::index_sequence<J...> sets,
                                                std::index_sequence<R...>) noexcept {
    (RoundOfSets<Ops>(w, keys.rounds[R], sets), ...);
}

// Sets (the length of the index pack) times Lanes blocks from in to out. All of them are loaded
// before any is stored, so in may be out. The sets go through the rounds side by side, so that
// the processor overlaps the multiplications of one with those of the others.
template <class Ops, std::size_t... J>
[[gnu::always_inline]] inline void Group(const Keys<Ops>& keys, const std::uint8_t* in,
                                         std::uint8_t* out, std::index_sequence<J...>) noexcept {
    constexpr std::size_t setBytes = 4 * sizeof(typename Ops::V);
    Words<Ops> w[sizeof...(J)];
    (LoadWords<Ops>(in + J * setBytes, w[J]), ...);
    RoundsOfSets<Ops>(w, keys, std::index_sequence<J...>(), std::make_index_sequence<8>());
    // The output transformation undoes the exchange of the last round.
    (StoreWords<Ops>(out + J * setBytes, Mul<Ops>(w[J].x1, keys.z48), Ops::Add(w[J].x3, keys.z49),
                     Ops::Add(w[J].x2, keys.z50), Mul<Ops>(w[J].x4, keys.z51)),
     ...);
}

// The body of an IdeaBlocks<path> function: count rounded down to Sets * Lanes blocks from in to
// out, returning how many.
template <class Ops, std::size_t Sets>
[[gnu::always_inline]] inline std::size_t Blocks(const std::uint16_t* subkeys,
                                                 const std::uint8_t* in, std::uint8_t* out,
                                                 std::size_t count) noexcept {
    constexpr std::size_t groupBlocks = Sets * Ops::Lanes;
    constexpr std::size_t groupBytes = 8 * groupBlocks;
    const std::size_t done = count - count % groupBlocks;
    if (done == 0)
        return 0;
    Keys<Ops> keys;
    SpreadKeys<Ops>(keys, subkeys);
    for (std::size_t i = 0; i < done; i += groupBlocks, in += groupBytes, out += groupBytes)
        Group<Ops>(keys, in, out, std::make_index_sequence<Sets>());
    // Clear the stack copy of the subkeys; the empty statement that may read it keeps the
    // compiler from dropping the stores as dead.
    std::memset(&keys, 0, sizeof keys);
    asm volatile("" : : "r"(&keys) : "memory");
    return done;
}

} // namespace qv::idea_lanes
