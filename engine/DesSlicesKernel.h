// The bitsliced DES kernel behind DesSlices.h, written once for every vector width.
//
// A group of 64 * Lanes blocks is loaded as 64 vectors of Lanes 64-bit words (vector j holds the
// blocks j * Lanes to j * Lanes + Lanes - 1) and the 64 x 64 bit matrix in every lane is
// transposed, so that vector p then holds bit p (of the little-endian word) of every block of the
// group: a bit plane. The permutations of DES (IP, E, P, FP) become a choice of which planes to
// take, and the S-boxes become logic on whole planes, computed by circuits that are derived from
// the S-box tables while compiling. Nothing is looked up at an address that depends on the key or
// the data.
//
// Each file that includes this header supplies the vector operations of its instruction set as
// an Ops type (see DesSse2.cpp) and is compiled for that set. Everything here lies in an unnamed
// namespace, so that every file gets its own copy of every function: a copy compiled for a wider
// set must never be shared with code that runs on a processor without it.
#pragma once

#include "DesTables.h"

#include <cstddef>
#include <cstdint>
#include <string.h> // explicit_bzero
#include <utility>

namespace qv {
namespace {
namespace desslices {

// ---- The standard's tables -------------------------------------------------------------------

using des_tables::IP;
using des_tables::P;
using des_tables::S;

// The plane (bit of the little-endian block word) that carries standard bit n (1 to 64): byte
// (n - 1) / 8, where bit 1 of the block is the most significant bit of byte 0.
constexpr int PlaneOf(int n) {
    return 8 * ((n - 1) / 8) + 7 - (n - 1) % 8;
}

// E: input bit j (0 to 5) of S-box `box` is bit 4 * box + j of R, counting from 0 at R's bit 32
// (so that the first box takes bits 32, 1, 2, 3, 4, 5). Returned as an index into R from 0.
constexpr int ExpansionSource(int box, int j) {
    return (4 * box + j + 31) % 32;
}

template <int Box, int J>
constexpr int Source = ExpansionSource(Box, J);

// The index into L (from 0) that output bit o (0 being the most significant) of S-box `box`
// lands on through P.
constexpr int PermutationTarget(int box, int o) {
    for (int i = 0; i < 32; ++i)
        if (P[i] == 4 * box + o + 1)
            return i;
    return -1;
}

template <int Box, int O>
constexpr int Target = PermutationTarget(Box, O);

// ---- Circuits derived from the S-box tables --------------------------------------------------
//
// A function of an S-box's six input bits is held as a truth table: bit v of the 64-bit word is
// its value for the input v, whose bit 5 is the first input bit (x1) and bit 0 the last (x6).

constexpr std::uint64_t InputTable[6] = {0xFFFFFFFF00000000, 0xFFFF0000FFFF0000,
                                         0xFF00FF00FF00FF00, 0xF0F0F0F0F0F0F0F0,
                                         0xCCCCCCCCCCCCCCCC, 0xAAAAAAAAAAAAAAAA};

// Output bit o (0 being the most significant) of S-box `box`: the row is x1 x6, the column
// x2 x3 x4 x5.
constexpr std::uint64_t OutputTable(int box, int o) {
    std::uint64_t table = 0;
    for (int v = 0; v < 64; ++v) {
        const int row = ((v >> 4) & 2) | (v & 1);
        const int column = (v >> 1) & 15;
        if ((S[box][row * 16 + column] >> (3 - o)) & 1)
            table |= std::uint64_t{1} << v;
    }
    return table;
}

// The function with input `var` fixed at `value` (as a table that no longer depends on it).
constexpr std::uint64_t Cofactor(std::uint64_t f, int var, bool value) {
    const int shift = 1 << (5 - var);
    if (value) {
        f &= InputTable[var];
        return f | f >> shift;
    }
    f &= ~InputTable[var];
    return f | f << shift;
}

constexpr bool DependsOn(std::uint64_t f, int var) {
    return ((f ^ f >> (1 << (5 - var))) & ~InputTable[var]) != 0;
}

// The inputs f depends on, as a bit mask (bit var), and their number.
constexpr unsigned Support(std::uint64_t f) {
    return unsigned{DependsOn(f, 0)} | unsigned{DependsOn(f, 1)} << 1 |
           unsigned{DependsOn(f, 2)} << 2 | unsigned{DependsOn(f, 3)} << 3 |
           unsigned{DependsOn(f, 4)} << 4 | unsigned{DependsOn(f, 5)} << 5;
}

constexpr int SupportSize(std::uint64_t f) {
    const unsigned s = Support(f);
    return static_cast<int>((s & 1) + (s >> 1 & 1) + (s >> 2 & 1) + (s >> 3 & 1) + (s >> 4 & 1) +
                            (s >> 5 & 1));
}

enum Op : std::uint8_t { OpInput, OpAnd, OpAndNot, OpOr, OpXor, OpTernary };

constexpr int MaxNodes = 160;

// A straight-line program computing the four outputs of one S-box. Nodes 0 to 5 are the inputs
// x1 to x6; every later node is one instruction on earlier nodes: a ^ b, a & b, ~a & b, a | b, or
// (with Ternary) any function of three nodes a, b, c given as the 8-bit table imm, whose bit
// a * 4 + b * 2 + c is the result for those operand bits. A reference to a node is 2 * node,
// plus 1 when its complement is meant; only outputs are referred to that way, operands are
// folded into the instructions.
struct Circuit {
    int count = 0;
    std::uint64_t table[MaxNodes] = {};
    std::uint8_t op[MaxNodes] = {};
    std::uint8_t a[MaxNodes] = {};
    std::uint8_t b[MaxNodes] = {};
    std::uint8_t c[MaxNodes] = {};
    std::uint8_t imm[MaxNodes] = {};
    int outputs[4] = {};
    bool ok = true; // no table was left without a node and no node computes a wrong function

    // Gives every three-input instruction its table, from the functions of its operands and its
    // result (an operand combination that never occurs is free), and checks that every node
    // computes the function it stands for.
    constexpr void Finish() {
        for (int n = 6; n < count; ++n) {
            const std::uint64_t ta = table[a[n]], tb = table[b[n]], tc = table[c[n]];
            std::uint64_t result = 0;
            switch (op[n]) {
            case OpAnd:
                result = ta & tb;
                break;
            case OpAndNot:
                result = ~ta & tb;
                break;
            case OpOr:
                result = ta | tb;
                break;
            case OpXor:
                result = ta ^ tb;
                break;
            case OpTernary:
                imm[n] = 0;
                for (int i = 0; i < 8; ++i) {
                    const std::uint64_t where =
                        (i & 4 ? ta : ~ta) & (i & 2 ? tb : ~tb) & (i & 1 ? tc : ~tc);
                    if ((table[n] & where) != 0) {
                        imm[n] = static_cast<std::uint8_t>(imm[n] | 1 << i);
                        result |= where;
                    }
                }
                break;
            default:
                ok = false;
            }
            if (result != table[n])
                ok = false;
        }
    }

    constexpr int Instructions() const { return count - 6; }
};

// Builds a circuit for the four outputs of an S-box by splitting each function on one input at
// a time, reusing any node that already computes a needed function or its complement. A function
// f with f0, f1 its cofactors for input x and d = f0 ^ f1 is built as f0 ^ (x & d) from f0 and
// f1 or d, or as f1 ^ (~x & d), whichever needs the fewer new nodes by a rough estimate; a
// constant or complementary cofactor takes one instruction. With three-input instructions, a
// function of three inputs is one instruction, and so is a choice by two inputs among a function,
// its complement and constants. order lists the inputs in the order tried when the estimates tie.
template <bool Ternary>
struct Synthesis {
    Circuit circuit;
    int order[6] = {};

    constexpr std::uint64_t Value(int ref) const {
        return (ref & 1) ? ~circuit.table[ref >> 1] : circuit.table[ref >> 1];
    }

    // Nodes by their table, up to complement, in an open-addressed hash table (node + 1; 0 for a
    // free slot): the search tries every node of many circuits, and the compilers' evaluation of
    // constant expressions is slow.
    std::uint8_t slots[256] = {};

    static constexpr std::uint64_t Canonical(std::uint64_t f) { return (f & 1) ? ~f : f; }
    static constexpr int Hash(std::uint64_t f) {
        return static_cast<int>((Canonical(f) * 0x9E3779B97F4A7C15) >> 56);
    }

    constexpr int Find(std::uint64_t f) const {
        for (int h = Hash(f);; h = (h + 1) & 255) {
            const int slot = slots[h];
            if (slot == 0)
                return -1;
            const std::uint64_t t = circuit.table[slot - 1];
            if (t == f)
                return 2 * (slot - 1);
            if (t == ~f)
                return 2 * (slot - 1) + 1;
        }
    }

    constexpr void Remember(int node) {
        int h = Hash(circuit.table[node]);
        while (slots[h] != 0)
            h = (h + 1) & 255;
        slots[h] = static_cast<std::uint8_t>(node + 1);
    }

    // Appends a node computing f (operands are references without complement).
    constexpr int Add(std::uint64_t f, Op op, int x, int y, int z = 0) {
        if (circuit.count == MaxNodes) {
            circuit.ok = false;
            return 0;
        }
        const int n = circuit.count++;
        circuit.table[n] = f;
        circuit.op[n] = op;
        circuit.a[n] = static_cast<std::uint8_t>(x >> 1);
        circuit.b[n] = static_cast<std::uint8_t>(y >> 1);
        circuit.c[n] = static_cast<std::uint8_t>(z >> 1);
        Remember(n);
        return 2 * n;
    }

    // x & y for references x and y, either of which may be a complement.
    constexpr int And(int x, int y) {
        const std::uint64_t f = Value(x) & Value(y);
        if (const int r = Find(f); r >= 0)
            return r;
        switch ((x & 1) << 1 | (y & 1)) {
        case 0:
            return Add(f, OpAnd, x, y);
        case 2:
            return Add(f, OpAndNot, x ^ 1, y);
        case 1:
            return Add(f, OpAndNot, y ^ 1, x);
        default:
            return Add(~f, OpOr, x ^ 1, y ^ 1) ^ 1; // ~x & ~y == ~(x | y)
        }
    }

    constexpr int Or(int x, int y) { return And(x ^ 1, y ^ 1) ^ 1; }

    constexpr int Xor(int x, int y) {
        const std::uint64_t f = Value(x) ^ Value(y);
        if (const int r = Find(f); r >= 0)
            return r;
        const int complement = (x ^ y) & 1;
        return Add(complement ? ~f : f, OpXor, x & ~1, y & ~1) ^ complement;
    }

    // A three-input instruction computing f from x, y, z.
    constexpr int Lut(std::uint64_t f, int x, int y, int z) {
        if (const int r = Find(f); r >= 0)
            return r;
        return Add(f, OpTernary, x & ~1, y & ~1, z & ~1);
    }

    // A rough count of the instructions a function still needs: none if a node has it.
    constexpr int Estimate(std::uint64_t f) const {
        if (f == 0 || f == ~std::uint64_t{0} || Find(f) >= 0)
            return 0;
        constexpr int binary[7] = {0, 0, 1, 3, 6, 12, 24};
        constexpr int ternary[7] = {0, 0, 1, 1, 3, 6, 12};
        return Ternary ? ternary[SupportSize(f)] : binary[SupportSize(f)];
    }

    // How a function is split: by input v, built from both cofactors (kind 0), as
    // f0 ^ (v & d) (kind 1) or as f1 ^ (~v & d) (kind 2); with three-input instructions also
    // as a choice by inputs v and w among one function, its complement and constants (kind 3).
    struct Split {
        int kind = -1;
        int v = 0, w = 0;
    };
    // For kind 3, the function that f chooses among, or 0 if f is not such a choice.
    static constexpr std::uint64_t ChosenFunction(std::uint64_t f, int v, int w) {
        const std::uint64_t f0 = Cofactor(f, v, false), f1 = Cofactor(f, v, true);
        const std::uint64_t parts[4] = {Cofactor(f0, w, false), Cofactor(f0, w, true),
                                        Cofactor(f1, w, false), Cofactor(f1, w, true)};
        std::uint64_t g = 0;
        for (const std::uint64_t part : parts) {
            if (part == 0 || part == ~std::uint64_t{0})
                continue;
            if (g == 0)
                g = part;
            else if (part != g && part != ~g)
                return 0;
        }
        return g;
    }

    // The split the builder takes without trying: for three-input instructions a choice by two
    // inputs when there is one, then a split with a constant or complementary cofactor (one
    // instruction); otherwise the one whose parts seem cheapest, counting the parts that nodes
    // already have as free.
    constexpr Split Choose(std::uint64_t f) const {
        const unsigned support = Support(f);
        if constexpr (Ternary) {
            for (int i = 0; i < 6; ++i)
                for (int j = i + 1; j < 6; ++j) {
                    const int v = order[i] < order[j] ? order[i] : order[j];
                    const int w = order[i] < order[j] ? order[j] : order[i];
                    if ((support >> v & 1) && (support >> w & 1) && ChosenFunction(f, v, w) != 0)
                        return {3, v, w};
                }
            for (const int v : order) {
                if (!(support >> v & 1))
                    continue;
                const std::uint64_t f0 = Cofactor(f, v, false), f1 = Cofactor(f, v, true);
                if (f0 == 0 || f0 == ~std::uint64_t{0} || f1 == 0 || f1 == ~std::uint64_t{0} ||
                    f1 == ~f0)
                    return {0, v, 0};
            }
        }
        Split best;
        int bestScore = 1 << 30;
        for (const int v : order) {
            if (!(support >> v & 1))
                continue;
            const std::uint64_t f0 = Cofactor(f, v, false), f1 = Cofactor(f, v, true);
            const std::uint64_t d = f0 ^ f1;
            const int e0 = Estimate(f0), e1 = Estimate(f1), ed = Estimate(d);
            const int scores[3] = {e0 + e1 + (Ternary || Find(d) >= 0 ? 0 : 1), e0 + ed, e1 + ed};
            for (int kind = 0; kind < 3; ++kind)
                if (scores[kind] < bestScore) {
                    bestScore = scores[kind];
                    best = {kind, v, 0};
                }
        }
        return best;
    }

    // Builds f split as given (which must apply), the parts by the builder's own choices.
    constexpr int Apply(std::uint64_t f, Split split) {
        const int x = 2 * split.v;
        if (split.kind == 3)
            return Lut(f, x, 2 * split.w, Build(ChosenFunction(f, split.v, split.w)));
        const std::uint64_t f0 = Cofactor(f, split.v, false), f1 = Cofactor(f, split.v, true);
        const std::uint64_t ones = ~std::uint64_t{0};
        if constexpr (Ternary) {
            if (f0 == 0 || f0 == ones) {
                const int g = Build(f1);
                return Lut(f, x, g, g);
            }
            if (f1 == 0 || f1 == ones || f1 == ~f0) {
                const int g = Build(f0);
                return Lut(f, x, g, g);
            }
            int y = 0, z = 0;
            if (split.kind == 0) {
                y = Build(f0);
                z = Build(f1);
            } else {
                y = Build(split.kind == 1 ? f0 : f1);
                z = Build(f0 ^ f1);
            }
            return Lut(f, x, y, z);
        } else {
            if (f0 == 0)
                return And(x, Build(f1));
            if (f0 == ones)
                return Or(x ^ 1, Build(f1));
            if (f1 == 0)
                return And(x ^ 1, Build(f0));
            if (f1 == ones)
                return Or(x, Build(f0));
            if (f1 == ~f0)
                return Xor(x, Build(f0));
            if (split.kind == 0) {
                const int y = Build(f0), z = Build(f1);
                return Xor(y, And(x, Xor(y, z)));
            }
            const int d = Build(f0 ^ f1);
            if (split.kind == 1)
                return Xor(Build(f0), And(x, d));
            return Xor(Build(f1), And(x ^ 1, d));
        }
    }

    constexpr int Build(std::uint64_t f) {
        if (const int r = Find(f); r >= 0)
            return r;
        if (!circuit.ok)
            return 0;
        if (Ternary && SupportSize(f) <= 3) {
            int vars[3] = {}, k = 0;
            for (int var = 0; var < 6; ++var)
                if (DependsOn(f, var))
                    vars[k++] = 2 * var;
            for (; k < 3; ++k)
                vars[k] = vars[0];
            return Lut(f, vars[0], vars[1], vars[2]);
        }
        return Apply(f, Choose(f));
    }
};

// The inputs are tried first `first`, then the rest in their natural order.
constexpr int OrderChoices = 6;

template <bool Ternary>
constexpr Circuit Synthesize(int box, int first) {
    Synthesis<Ternary> s;
    s.order[0] = first;
    for (int var = 0, k = 1; var < 6; ++var)
        if (var != first)
            s.order[k++] = var;
    for (int var = 0; var < 6; ++var) {
        s.circuit.table[var] = InputTable[var];
        s.circuit.op[var] = OpInput;
        s.Remember(var);
    }
    s.circuit.count = 6;
    for (int o = 0; o < 4; ++o) {
        s.circuit.outputs[o] = s.Build(OutputTable(box, o));
        if (s.Value(s.circuit.outputs[o]) != OutputTable(box, o))
            s.circuit.ok = false;
    }
    s.circuit.Finish();
    return s.circuit;
}

// Each order is tried in a constant evaluation of its own, which keeps every one within the
// compilers' limits on the work of one.
template <bool Ternary, int Box, int Choice>
constexpr int OrderCost = Synthesize<Ternary>(Box, Choice).Instructions();

template <bool Ternary, int Box, int... Choice>
constexpr int CheapestOrder(std::integer_sequence<int, Choice...>) {
    const int costs[] = {OrderCost<Ternary, Box, Choice>...};
    int best = 0;
    for (int i = 1; i < OrderChoices; ++i)
        if (costs[i] < costs[best])
            best = i;
    return best;
}

template <bool Ternary, int Box>
constexpr Circuit SBoxCircuit = Synthesize<Ternary>(
    Box, CheapestOrder<Ternary, Box>(std::make_integer_sequence<int, OrderChoices>()));

// Some circuit outputs are the complement of the S-box output: XORed in as they are, they leave
// the planes of the new R complemented at their positions c. Rather than spend an instruction on
// each, the rounds carry that: a round whose R is so complemented takes the key bits of those
// positions complemented, which gives the S-boxes their true inputs, and XORs its own complemented
// outputs onto an L that is complemented at the same positions, which cancels. With R_j standing
// for R after round j, R_0 and L_0 being true, R_j is off by c for j = 1, 2 modulo 4 and true for
// j = 3, 0: rounds 2, 3, 6, 7, ... (counting from 1) take the flipped key bits, and both halves
// are true again after round 16, at the end of every DES step.
struct Flips {
    std::uint8_t group[8] = {}; // per S-box, the key bits to complement, as in the 6-bit group
};

template <bool Ternary, int... Box>
constexpr Flips MakeKeyFlips(std::integer_sequence<int, Box...>) {
    std::uint32_t complemented = 0; // bit i: position i of L (from 0)
    const Circuit* circuits[] = {&SBoxCircuit<Ternary, Box>...};
    for (int box = 0; box < 8; ++box)
        for (int o = 0; o < 4; ++o)
            if (circuits[box]->outputs[o] & 1)
                complemented |= std::uint32_t{1} << PermutationTarget(box, o);
    Flips flips;
    for (int box = 0; box < 8; ++box)
        for (int j = 0; j < 6; ++j)
            if ((complemented >> ExpansionSource(box, j)) & 1)
                flips.group[box] = static_cast<std::uint8_t>(flips.group[box] | 1 << (5 - j));
    return flips;
}

template <bool Ternary>
constexpr Flips KeyFlips = MakeKeyFlips<Ternary>(std::make_integer_sequence<int, 8>());

// Whether round `round` (from 0) takes the flipped key bits.
constexpr bool FlippedRound(int round) {
    return (round & 3) == 1 || (round & 3) == 2;
}

// ---- The kernel ------------------------------------------------------------------------------
//
// Ops supplies, for its vector type V of Lanes 64-bit lanes: Load and Store (unaligned); Splat,
// a word in every lane; KeyMask, the stored form of a key mask, MakeKeys(bits, slots), which
// sets slots[b] to all ones where bit b of bits is set and to zeros elsewhere (b = 0 to 7), and
// Key(mask), the vector of a stored mask; Xor; ShiftLeft<N> and ShiftRight<N> of every lane; and
// either the three-input Ternary<imm> (HasTernary) or And, AndNot (~a & b) and Or.

// Computes node N of the circuit from the values t of the nodes before it. Here and in Inputs and
// Outputs every index is a constant within its array: the undefined-behaviour sanitizer's check
// of pointer arithmetic is left out, as it would keep the values in memory instead of registers
// and add a branch to every gate.
template <typename Ops, const Circuit& C, int N>
[[gnu::always_inline]] __attribute__((no_sanitize("pointer-overflow"))) inline void
Gate(typename Ops::V (&t)[C.count]) {
    constexpr int a = C.a[N], b = C.b[N], c = C.c[N];
    if constexpr (C.op[N] == OpTernary)
        t[N] = Ops::template Ternary<C.imm[N]>(t[a], t[b], t[c]);
    else if constexpr (C.op[N] == OpAnd)
        t[N] = Ops::And(t[a], t[b]);
    else if constexpr (C.op[N] == OpAndNot)
        t[N] = Ops::AndNot(t[a], t[b]);
    else if constexpr (C.op[N] == OpOr)
        t[N] = Ops::Or(t[a], t[b]);
    else
        t[N] = Ops::Xor(t[a], t[b]);
}

template <typename Ops, const Circuit& C, int... I>
[[gnu::always_inline]] inline void Gates(typename Ops::V (&t)[C.count],
                                         std::integer_sequence<int, I...>) {
    (Gate<Ops, C, 6 + I>(t), ...);
}

// The S-box's inputs: bits of R chosen by E, each XORed with its key bit (a mask of all zeros or
// all ones).
template <typename Ops, int Box, int N, int... J>
[[gnu::always_inline]] __attribute__((no_sanitize("pointer-overflow"))) inline void
Inputs(typename Ops::V (&t)[N], const typename Ops::V* r, const typename Ops::KeyMask* keys,
       std::integer_sequence<int, J...>) {
    ((t[J] = Ops::Xor(r[Source<Box, J>], Ops::Key(keys[8 * Box + 5 - J]))), ...);
}

// The S-box's outputs XORed into L through P. An output that the circuit has as a complement
// is XORed in as it is: see KeyFlips.
template <typename Ops, int Box, const Circuit& C, int... O>
[[gnu::always_inline]] __attribute__((no_sanitize("pointer-overflow"))) inline void
Outputs(typename Ops::V* l, typename Ops::V (&t)[C.count], std::integer_sequence<int, O...>) {
    ((l[Target<Box, O>] = Ops::Xor(l[Target<Box, O>], t[C.outputs[O] >> 1])), ...);
}

// S-box `Box` of one round: its six inputs from R through E, each XORed with its key bit (a mask
// of all zeros or all ones), and its four outputs XORed into L through P.
template <typename Ops, int Box>
[[gnu::always_inline]] inline void SBoxRound(typename Ops::V* l, const typename Ops::V* r,
                                             const typename Ops::KeyMask* keys) {
    using V = typename Ops::V;
    constexpr const Circuit& C = SBoxCircuit<Ops::HasTernary, Box>;
    static_assert(C.ok, "every S-box output has a circuit");
    V t[C.count];
    Inputs<Ops, Box>(t, r, keys, std::make_integer_sequence<int, 6>());
    Gates<Ops, C>(t, std::make_integer_sequence<int, C.count - 6>());
    Outputs<Ops, Box, C>(l, t, std::make_integer_sequence<int, 4>());
}

// One round: L ^= f(R, K), with the key masks of the round (eight slots per S-box).
template <typename Ops, int... Box>
[[gnu::always_inline]] inline void Round(typename Ops::V* l, const typename Ops::V* r,
                                         const typename Ops::KeyMask* keys,
                                         std::integer_sequence<int, Box...>) {
    (SBoxRound<Ops, Box>(l, r, keys), ...);
}

// Transposes the 64 x 64 bit matrix in every 64-bit lane of v[0..63] (bit c of v[j] trades
// places with bit j of v[c]): six stages, each exchanging the off-diagonal blocks of one size.
template <typename Ops, int Shift>
[[gnu::always_inline]] inline void TransposeStage(typename Ops::V* v, std::uint64_t lowMask) {
    using V = typename Ops::V;
    const V mask = Ops::Splat(lowMask);
    for (int block = 0; block < 64; block += 2 * Shift)
        for (int j = block; j < block + Shift; ++j) {
            // The bits of v[j] at positions with bit Shift set trade places with those of
            // v[j + Shift] at positions with it clear.
            const V a = v[j], b = v[j + Shift];
            if constexpr (Ops::HasTernary) {
                // mask ? x : y
                v[j + Shift] =
                    Ops::template Ternary<0xCA>(mask, Ops::template ShiftRight<Shift>(a), b);
                v[j] = Ops::template Ternary<0xCA>(mask, a, Ops::template ShiftLeft<Shift>(b));
            } else {
                const V t = Ops::And(Ops::Xor(Ops::template ShiftRight<Shift>(a), b), mask);
                v[j + Shift] = Ops::Xor(b, t);
                v[j] = Ops::Xor(a, Ops::template ShiftLeft<Shift>(t));
            }
        }
}

template <typename Ops>
[[gnu::always_inline]] inline void Transpose(typename Ops::V* v) {
    TransposeStage<Ops, 32>(v, 0x00000000FFFFFFFF);
    TransposeStage<Ops, 16>(v, 0x0000FFFF0000FFFF);
    TransposeStage<Ops, 8>(v, 0x00FF00FF00FF00FF);
    TransposeStage<Ops, 4>(v, 0x0F0F0F0F0F0F0F0F);
    TransposeStage<Ops, 2>(v, 0x3333333333333333);
    TransposeStage<Ops, 1>(v, 0x5555555555555555);
}

constexpr int MaxSteps = 3;

template <typename Ops>
std::size_t DesSliced(const std::uint32_t* const* schedules, int steps, const std::uint8_t* in,
                      std::uint8_t* out, std::size_t count) {
    using V = typename Ops::V;
    constexpr std::size_t Lanes = Ops::Lanes;
    constexpr std::size_t GroupBytes = 64 * Lanes * 8;
    const std::size_t groups = count / (64 * Lanes);
    if (groups == 0 || steps < 1 || steps > MaxSteps)
        return 0;

    // Key masks: for every step, round and S-box, eight masks of which mask b is all ones where
    // bit b of the round key's 6-bit group is set (bit 5 goes with the S-box's first input),
    // flipped in the rounds that need it (see KeyFlips). Built once for all groups of the call.
    constexpr Flips flips = KeyFlips<Ops::HasTernary>;
    typename Ops::KeyMask keys[MaxSteps][16][64];
    for (int step = 0; step < steps; ++step)
        for (int round = 0; round < 16; ++round)
            for (int box = 0; box < 8; ++box) {
                const std::uint32_t word = schedules[step][2 * round + (box & 1)];
                const std::uint32_t group = (word >> (24 - 8 * (box / 2))) & 0x3F;
                Ops::MakeKeys(group ^ (FlippedRound(round) ? flips.group[box] : 0u),
                              keys[step][round] + 8 * box);
            }

    V planes[64];
    V halves[64]; // L then R, each by the standard's bit number from 1
    for (std::size_t g = 0; g < groups; ++g) {
        const std::uint8_t* src = in + g * GroupBytes;
        for (int j = 0; j < 64; ++j)
            planes[j] = Ops::Load(src + 8 * Lanes * j);
        Transpose<Ops>(planes);
        for (int i = 0; i < 64; ++i)
            halves[i] = planes[PlaneOf(IP[i])];

        V* l = halves;
        V* r = halves + 32;
        // The loops over steps and rounds stay loops: a round is a few kilobytes of code, and
        // unrolled they would no longer fit in the processor's instruction cache.
#pragma GCC unroll 1
        for (int step = 0; step < steps; ++step) {
#pragma GCC unroll 1
            for (int round = 0; round < 16; ++round) {
                Round<Ops>(l, r, keys[step][round], std::make_integer_sequence<int, 8>());
                V* const t = l;
                l = r;
                r = t;
            }
            // The last round does not exchange the halves, and the final permutation of one step
            // cancels the initial permutation of the next: the next step starts with them
            // exchanged.
            V* const t = l;
            l = r;
            r = t;
        }
        // l now holds the first half of the output before FP, r the second.
        for (int i = 0; i < 32; ++i) {
            planes[PlaneOf(IP[i])] = l[i];
            planes[PlaneOf(IP[32 + i])] = r[i];
        }
        Transpose<Ops>(planes);
        std::uint8_t* dst = out + g * GroupBytes;
        for (int j = 0; j < 64; ++j)
            Ops::Store(dst + 8 * Lanes * j, planes[j]);
    }
    explicit_bzero(keys, sizeof keys);
    explicit_bzero(planes, sizeof planes);
    explicit_bzero(halves, sizeof halves);
    return groups * 64 * Lanes;
}

} // namespace desslices
} // namespace
} // namespace qv
