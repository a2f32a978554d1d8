// IDEA (Lai and Massey): 8 rounds and an output transformation over 16-bit words.
//
// Unlike the published convention, every 16-bit word of the key, of the plain block and of the
// enciphered block is stored least significant byte first; crypted files and the password
// database depend on this order.
#pragma once

#include "CipherPaths.h"

#include <cstddef>
#include <cstdint>

namespace qv {

// 52 subkeys: six per round for 8 rounds, then four for the output transformation.
struct IdeaSubkeys {
    std::uint16_t keys[52];

    IdeaSubkeys() noexcept;
    IdeaSubkeys(const IdeaSubkeys&) = delete;
    IdeaSubkeys& operator=(const IdeaSubkeys&) = delete;
    ~IdeaSubkeys();
    void Clear() noexcept;
};

// Multiplication modulo 65537, 0 standing for 65536.
std::uint16_t IdeaMul(std::uint16_t a, std::uint16_t b) noexcept;
// The multiplicative inverse modulo 65537; 0 and 1 are their own inverses.
std::uint16_t IdeaMulInverse(std::uint16_t x) noexcept;

// The enciphering subkeys of a 16-byte key.
void IdeaExpandKey(const std::uint8_t key[16], IdeaSubkeys& subkeys) noexcept;
// The deciphering subkeys derived from enciphering ones.
void IdeaInvertKey(const IdeaSubkeys& subkeys, IdeaSubkeys& inverse) noexcept;
// One block through the 8 rounds and the output transformation; enciphers with enciphering
// subkeys and deciphers with deciphering ones. input and output may be the same buffer.
void IdeaBlock(const std::uint8_t input[8], std::uint8_t output[8],
               const IdeaSubkeys& subkeys) noexcept;
// The same for one block held in a 64-bit word, byte i of the block in bits 8i to 8i+7 (as a
// little-endian load gives them), for callers that chain blocks and keep them in registers.
std::uint64_t IdeaBlockWord(const IdeaSubkeys& subkeys, std::uint64_t block) noexcept;
// The same for count independent blocks (no chaining) from in to out, which may be the same
// buffer; several blocks are worked on at once, which is faster than one at a time. The vector
// registers of path (and of the narrower paths, for what is left) do the work; the bytes are
// the same on every path.
void IdeaBlocks(const IdeaSubkeys& subkeys, const std::uint8_t* in, std::uint8_t* out,
                std::size_t count, CipherPath path) noexcept;
// The same on ActiveCipherPath().
void IdeaBlocks(const IdeaSubkeys& subkeys, const std::uint8_t* in, std::uint8_t* out,
                std::size_t count) noexcept;

} // namespace qv
