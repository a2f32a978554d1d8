// Turning a typed password into key material.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qv {

// Every password the program holds is held masked: each byte XORed with this value.
inline constexpr std::uint8_t PasswordMask = 0x5E;

// XORs the first n bytes of buffer with the password mask, in place; applying it twice restores
// the bytes.
void MaskPassword(std::uint8_t* buffer, std::size_t n) noexcept;

// Fills key[0 .. keySize-1] (16 or 24 bytes) from the first n bytes of password (n >= 1): the
// password repeated without a gap to the end of the key, a longer one cut to keySize, then each
// byte i XORed with (4 * i + 0x6D) mod 256. There is no salt and no hashing: the key is a direct
// function of the password bytes, which crypted files rely on.
void ExpandKey(std::uint8_t* key, std::size_t keySize, const std::uint8_t* password,
               std::size_t n) noexcept;

} // namespace qv
