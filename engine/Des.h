// DES (FIPS 46) and three-key triple DES (EDE).
//
// A block is 8 bytes; byte 0 carries bits 1 to 8 of the standard's 64-bit block, bit 1 being
// its most significant bit. A key is 8 bytes in the same order; the least significant bit of
// every key byte is ignored (no parity check, weak keys allowed). The table-driven round takes
// 8 look-ups whose indices depend on key and data, so its timing through the cache is not
// independent of secrets; the crypted-file format does not allow a different cipher.
#pragma once

#include "CipherPaths.h"

#include <cstddef>
#include <cstdint>

namespace qv {

// 16 round keys for one direction, each as a pair of words: the first holds the 6-bit groups
// for S-boxes 1, 3, 5, 7 in its bytes from most to least significant, the second those for
// 2, 4, 6, 8. Enciphering lists rounds 1 to 16, deciphering 16 to 1.
struct DesSchedule {
    std::uint32_t keys[32];

    DesSchedule() noexcept;
    DesSchedule(const DesSchedule&) = delete;
    DesSchedule& operator=(const DesSchedule&) = delete;
    ~DesSchedule();
    void Clear() noexcept;
};

void DesSetKey(DesSchedule& schedule, const std::uint8_t key[8], bool decipher) noexcept;
// Enciphers or deciphers one block in place, by the schedule's direction.
void DesBlock(const DesSchedule& schedule, std::uint8_t block[8]) noexcept;
// The same for one block held in a 64-bit word, byte i of the block in bits 8i to 8i+7 (as a
// little-endian load gives them), for callers that chain blocks and keep them in registers.
std::uint64_t DesBlockWord(const DesSchedule& schedule, std::uint64_t block) noexcept;
// The same for count independent blocks (no chaining) from in to out, which may be the same
// buffer; several blocks are worked on at once, which is faster than one at a time. The vector
// registers of path (and of the narrower paths, for what is left) do the work; the bytes are
// the same on every path. Without a path, ActiveCipherPath().
void DesBlocks(const DesSchedule& schedule, const std::uint8_t* in, std::uint8_t* out,
               std::size_t count, CipherPath path) noexcept;
void DesBlocks(const DesSchedule& schedule, const std::uint8_t* in, std::uint8_t* out,
               std::size_t count) noexcept;

// How many blocks the kernel of path works on in one pass (128, 256 or 512 for the vector paths,
// 4 for the portable code). DesBlocks and TripleDesBlocks hand what is left of a whole pass to
// the narrower paths, which take longer per block; a caller with a few blocks less than a pass
// may fill it with blocks of no meaning and be done sooner.
std::size_t DesPassBlocks(CipherPath path) noexcept;

// Three-key EDE: enciphering is DES-encipher K1, DES-decipher K2, DES-encipher K3; deciphering
// is DES-decipher K3, DES-encipher K2, DES-decipher K1. K1, K2, K3 are bytes 0-7, 8-15, 16-23.
// The schedules are kept in the order they are applied.
struct TripleDesSchedule {
    DesSchedule first, second, third;
    void Clear() noexcept;
};

void TripleDesSetKey(TripleDesSchedule& schedule, const std::uint8_t key[24],
                     bool decipher) noexcept;
void TripleDesBlock(const TripleDesSchedule& schedule, std::uint8_t block[8]) noexcept;
std::uint64_t TripleDesBlockWord(const TripleDesSchedule& schedule, std::uint64_t block) noexcept;
void TripleDesBlocks(const TripleDesSchedule& schedule, const std::uint8_t* in, std::uint8_t* out,
                     std::size_t count, CipherPath path) noexcept;
void TripleDesBlocks(const TripleDesSchedule& schedule, const std::uint8_t* in, std::uint8_t* out,
                     std::size_t count) noexcept;

} // namespace qv
