// IDEA on many independent blocks at once in the 16-bit lanes of vector registers: the x86-64
// paths behind IdeaBlocks. Each function works on whole groups of blocks from in to out (which
// may be the same buffer), enciphering or deciphering by the subkeys given, and returns how many
// blocks it did: count rounded down to its group size. The caller does the rest on a narrower
// path. Call a function only when CipherPathSupported says its path runs here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qv {

std::size_t IdeaBlocksSse2(const std::uint16_t subkeys[52], const std::uint8_t* in,
                           std::uint8_t* out, std::size_t count) noexcept;
std::size_t IdeaBlocksAvx2(const std::uint16_t subkeys[52], const std::uint8_t* in,
                           std::uint8_t* out, std::size_t count) noexcept;
std::size_t IdeaBlocksAvx512(const std::uint16_t subkeys[52], const std::uint8_t* in,
                             std::uint8_t* out, std::size_t count) noexcept;

} // namespace qv
