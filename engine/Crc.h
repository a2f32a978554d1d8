// The program's 32-bit checksum, used for the key check and the data checksum of crypted files
// and of the stored-password database.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qv {

// Continues the checksum crc over count bytes. Callers start from 0. For each byte b:
// crc = (crc >> 8) ^ W[(crc ^ b) & 0xFF], where W[k] is the little-endian 32-bit word at *byte*
// offset k of the CRC-32 table (0xEDB88320, 256 entries, each least significant byte first),
// not entry k. There is no initial or final inversion, so this is not the standard CRC-32;
// stored files depend on this exact function. No buffer or a count of 0 returns crc unchanged.
std::uint32_t UpdateCrc(std::uint32_t crc, const void* bytes, std::size_t count) noexcept;

// W above: the words at byte offsets 0 to 255 of the table.
extern const std::array<std::uint32_t, 256> CrcOffsetWords;

// One step of UpdateCrc, for loops that take the checksum of bytes they already hold in a
// register.
inline std::uint32_t UpdateCrcByte(std::uint32_t crc, std::uint8_t b) noexcept {
    return (crc >> 8) ^ CrcOffsetWords[(crc ^ b) & 0xFF];
}

} // namespace qv
