// An independent account of the password database file, for checking the one under test: the
// key, the checksum and the CBC chaining written out here again, with libgcrypt's IDEA as the
// block cipher (libgcrypt reads each 16-bit word most significant byte first, the file least
// significant byte first, so every word's two bytes are exchanged on the way in and out).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qvtest {

// The database bytes for a master password as typed and an entry text, padded with zero bytes.
// lengthField, when given, is written as the header's text length instead of the true one.
std::vector<std::uint8_t> OracleDatabase(const std::string& masterPassword,
                                         const std::string& entryText,
                                         std::optional<std::int32_t> lengthField = std::nullopt);

struct OracleReading {
    bool magicOk = false;
    bool keyCheckOk = false;
    bool checksumOk = false;
    std::int32_t textLength = 0;
    std::vector<std::uint8_t> plain; // all deciphered bytes, padding included
};

// Deciphers database bytes with a master password as typed.
OracleReading OracleRead(const std::vector<std::uint8_t>& file, const std::string& masterPassword);

// The program's checksum, written out from the CRC-32 table (reflected 0xEDB88320): each step
// takes the little-endian word at byte offset k of the table, not entry k.
std::uint32_t OracleChecksum(const std::uint8_t* bytes, std::size_t count);

} // namespace qvtest
