// The crypted-file format: what a header holds and how each method is laid out.
//
// A crypted file is a header followed by the whole plain file enciphered in 8-byte blocks and
// padded with 1 to 8 bytes. All integers are little-endian.
//
//   offset  width  field
//   0       4      magic: "QV97", "QV98", "QV9A", "QV9B" or "QV9C"; the fourth byte alone names
//                  the method
//   4       4      plain size (signed 32-bit)
//   8       4      data checksum: UpdateCrc from 0 over the plain bytes
//   12      2      key check: the low 16 bits of UpdateCrc from 0 over the whole key buffer
//   14      1      name length, 0 to 12 (not in "QV97" and "QV9A")
//   15      20     the plain file's name, zero-filled (not in "QV97" and "QV9A")
//   35 (14) ...    the enciphered blocks
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace qv {

inline constexpr std::size_t CryptChunkSize = 10240;
inline constexpr std::size_t CryptBlockSize = 8;
inline constexpr const char* CryptExtension = ".cry";
inline constexpr std::size_t NameFieldSize = 20;
inline constexpr std::size_t MaxStoredNameLength = 12;
inline constexpr std::size_t LongHeaderBytes = 35;
inline constexpr std::size_t ShortHeaderBytes = 14;
// Sizes in the format are signed 32-bit, so a crypted file (header and padded data) must stay
// below 2 GiB; this is the largest plain file that fits.
inline constexpr std::int64_t MaxPlainSize = 2147483607;

// The method a magic's fourth byte names, or -1 for a byte that names none.
std::int32_t MethodOfMagicByte(std::uint8_t fourth) noexcept;
// The magic of a method ("QV98" for 1), or nullptr for an unknown code.
const char* MagicOfMethod(std::int32_t method) noexcept;
// Key buffer bytes of a method: 8 for DES, 16 for IDEA, 24 for 3xDES; 0 for an unknown code.
std::size_t KeyBytesOfMethod(std::int32_t method) noexcept;
// 14 for the two oldest formats (no name field), 35 for the others.
std::size_t HeaderBytesOfMethod(std::int32_t method) noexcept;
// The methods EncryptFile writes: IDEA, DES and 3xDES.
bool IsWritableMethod(std::int32_t method) noexcept;

// Display names: "DES" for 0, 2 and 3, "IDEA" for 1, "3xDES" for 4, "-" for any other code.
std::string MethodName(std::int32_t code);
// The method of a crypted file from the fourth byte of its magic: "DES", "IDEA", "3xDES", or
// "-" when the file cannot be read or the byte names no method.
std::string FileMethodName(const std::string& path);

struct CryptHeader {
    std::int32_t Method = -1;
    std::int32_t PlainSize = 0;
    std::uint32_t DataChecksum = 0;
    std::uint16_t KeyCheck = 0;
    std::uint8_t NameLength = 0; // 0 in the formats without a name field
    std::array<std::uint8_t, NameFieldSize> Name{};
    std::size_t HeaderBytes = 0;

    // The first NameLength bytes of Name when NameLength is 1 to 12, else empty.
    std::string StoredName() const;
};

// Reads a header from fd at its current offset: 0, CryptReadFailed when the file ends inside the
// header or cannot be read, CryptNotCrypted when the fourth byte names no method. The name
// fields are read before the magic is judged, unless the magic names a format without them.
[[nodiscard]] std::int32_t ReadCryptHeader(int fd, CryptHeader& header);

// Whether the sizes of a header fit a crypted file of fileLength bytes: the plain size is not
// negative and not larger than the whole blocks after the header, and the file itself stays
// within the format's 32-bit sizes. 0, or CryptWrongPassword (the code of a damaged file).
[[nodiscard]] std::int32_t CheckCryptSizes(const CryptHeader& header, std::int64_t fileLength);

// Opens path for reading only, reads its header and checks its sizes, without a password:
// 0, CryptCannotOpenInput, CryptReadFailed, CryptNotCrypted or CryptWrongPassword (damaged).
[[nodiscard]] std::int32_t InspectCryptFile(const std::string& path, CryptHeader& header);

// A name the decrypted file may take from a header: not empty, not "." or "..", and without
// "/", "\\", NUL or other control bytes, so that it stays in the crypted file's folder.
bool IsPlainFileName(const std::string& name);

// The path a crypted file decrypts to: path without its last four characters.
std::string DerivedPlainPath(const std::string& cryptedPath);

} // namespace qv
