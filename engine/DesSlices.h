// DES on many independent blocks at once, bitsliced: the x86-64 paths behind DesBlocks and
// TripleDesBlocks. A group of blocks is turned into 64 vectors, one per bit position, so that the
// S-boxes become logic on whole registers, with no look-up indexed by data or key.
//
// schedules points to steps (1 or 3) round-key tables in the layout of DesSchedule::keys,
// applied in order, each as a whole DES (initial permutation, 16 rounds, final permutation).
// Each function works on whole groups of blocks from in to out (which may be the same buffer)
// and returns how many blocks it did: count rounded down to its group size. The caller does the
// rest on a narrower path. Call a function only when CipherPathSupported says its path runs here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qv {

std::size_t DesBlocksSse2(const std::uint32_t* const* schedules, int steps, const std::uint8_t* in,
                          std::uint8_t* out, std::size_t count) noexcept;
std::size_t DesBlocksAvx2(const std::uint32_t* const* schedules, int steps, const std::uint8_t* in,
                          std::uint8_t* out, std::size_t count) noexcept;
std::size_t DesBlocksAvx512(const std::uint32_t* const* schedules, int steps,
                            const std::uint8_t* in, std::uint8_t* out, std::size_t count) noexcept;

} // namespace qv
