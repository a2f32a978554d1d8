// The application's single pseudo-random generator: a 32-bit linear congruential generator,
// seed = seed * 134775813 + 1 (mod 2^32). It supplies the wipe's overwrite bytes and the choice
// of the tip of the day. It is not a source of secrets.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qv {

std::uint32_t RandomSeed() noexcept;
void SetRandomSeed(std::uint32_t seed) noexcept;

// Sets the seed from the current UTC time of day:
// ((hours * 60 + minutes) * 60 + seconds) * 1000 + milliseconds.
void SeedRandomFromClock() noexcept;

// Advances the generator and returns a value below n: the high 32 bits of the 64-bit product
// of the new seed and n.
std::uint32_t RandomBelow(std::uint32_t n) noexcept;

// Fills bytes with what count calls of RandomBelow(256) would give, as one run of the sequence:
// threads drawing at once each get a run of their own.
void RandomBytes(std::uint8_t* bytes, std::size_t count) noexcept;

} // namespace qv
