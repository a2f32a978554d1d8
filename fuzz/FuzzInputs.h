// What the fuzz targets and the program that writes their seed inputs agree on: how an input is
// laid out and the passwords and names it is tried with.
//
// Every input of fuzz_crypt_reader and fuzz_database is one byte that picks a password from a
// fixed list, followed by the file. A seed made with one of these passwords therefore keeps
// getting past the key check after the fuzzer changes the file bytes, so the mutations reach
// the cipher, the checksum and the name handling instead of stopping at the header.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qv::fuzz {

// Passwords as typed for the crypted files: a DES key takes 8 bytes, an IDEA key 16 and a 3xDES
// key 24, so the lengths fall short of, match and fill each key in turn.
inline constexpr std::array<std::string_view, 4> CryptPasswords = {
    "secret",                   // 6
    "Kwartz-8",                 // 8
    "Opal-Kwartz-77",           // 14
    "correct-horse-battery-24", // 24
};

// Master passwords of the database; the last is longer than the 16 bytes the key uses, as the
// command line may give one.
inline constexpr std::array<std::string_view, 4> MasterPasswords = {
    "sixsix",                       // 6
    "Opal-Kwartz7",                 // 12
    "Sixteen-Bytes-16",             // 16
    "a-longer-master-password-25!", // 28
};

// The password byte of an input: any value picks a password, so no input is wasted.
inline std::size_t PasswordIndex(std::uint8_t first, std::size_t count) {
    return first % count;
}

// The name the crypted input is decrypted under; it decrypts to "x" unless its header names
// another file.
inline constexpr const char* CryptFileName = "x.cry";
// The name the database input is written under.
inline constexpr const char* DatabaseFileName = "xwords.001";

// The file whose password fuzz_database retrieves and then stores again, and the password it
// stores. The database seeds hold an entry for this key.
inline constexpr std::string_view DatabaseKey = "/home/ann/report.txt";
inline constexpr std::string_view StoredPassword = "Fuzz-Store-9";

// The subfolders of the seed folder, one for each target.
inline constexpr const char* CryptReaderTarget = "fuzz_crypt_reader";
inline constexpr const char* DatabaseTarget = "fuzz_database";
inline constexpr const char* SettingsTarget = "fuzz_settings";

} // namespace qv::fuzz
