// A small writer of crypted files for the tests, built on libgcrypt's ciphers rather than the
// program's own, so that files written by the engine can be compared with an independent
// result and the read-only formats can be made at all.
#pragma once

#include "Crc.h"
#include "GcryptSupport.h"
#include "KeyExpand.h"

#include <gcrypt.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qvtest {

struct ReferenceFile {
    std::string magic = "QV9C"; // the fourth byte picks the cipher and the layout
    std::string password;       // as typed
    std::vector<std::uint8_t> plain;
    std::string name;    // the name field, cut to 20 bytes
    int nameLength = -1; // -1: the name's length when it is at most 12, else 0
    std::optional<std::int64_t> plainSizeField{}; // default: the real size
};

// The key of a magic's method from a typed password.
inline std::vector<std::uint8_t> ReferenceKey(char fourth, const std::string& password) {
    std::vector<std::uint8_t> masked(password.begin(), password.end());
    qv::MaskPassword(masked.data(), masked.size());
    const std::size_t size = fourth == '8' ? 16 : fourth == 'C' ? 24 : 8;
    std::vector<std::uint8_t> key(size, 0);
    const std::size_t n = std::min(masked.size(), size);
    if (size == 8) {
        // The two oldest formats use the password as typed, the newer DES format as held.
        const bool typed = fourth == '7' || fourth == 'A';
        for (std::size_t i = 0; i < n; ++i)
            key[i] = typed ? static_cast<std::uint8_t>(password[i]) : masked[i];
    } else {
        qv::ExpandKey(key.data(), size, masked.data(), n);
    }
    return key;
}

inline std::vector<std::uint8_t> ReferenceCrypt(const ReferenceFile& f) {
    InitialiseGcrypt();
    const char fourth = f.magic.at(3);
    const bool shortHeader = fourth == '7' || fourth == 'A';
    const auto key = ReferenceKey(fourth, f.password);

    std::vector<std::uint8_t> out(f.magic.begin(), f.magic.end());
    auto put32 = [&out](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    const auto plainSize = static_cast<std::uint32_t>(
        f.plainSizeField.value_or(static_cast<std::int64_t>(f.plain.size())));
    put32(plainSize);
    put32(qv::UpdateCrc(0, f.plain.data(), f.plain.size()));
    const std::uint32_t keyCheck = qv::UpdateCrc(0, key.data(), key.size()) & 0xFFFF;
    out.push_back(static_cast<std::uint8_t>(keyCheck));
    out.push_back(static_cast<std::uint8_t>(keyCheck >> 8));
    if (!shortHeader) {
        const int length = f.nameLength >= 0     ? f.nameLength
                           : f.name.size() <= 12 ? static_cast<int>(f.name.size())
                                                 : 0;
        out.push_back(static_cast<std::uint8_t>(length));
        std::vector<std::uint8_t> field(20, 0);
        std::copy_n(f.name.begin(), std::min<std::size_t>(f.name.size(), 20), field.begin());
        out.insert(out.end(), field.begin(), field.end());
    }

    std::vector<std::uint8_t> data = f.plain;
    data.resize(f.plain.size() + 8 - f.plain.size() % 8, 0);
    int algo = GCRY_CIPHER_DES;
    std::vector<std::uint8_t> gcryptKey = key;
    if (fourth == 'C')
        algo = GCRY_CIPHER_3DES;
    if (fourth == '8') {
        algo = GCRY_CIPHER_IDEA;
        SwapWordBytes(gcryptKey.data(), gcryptKey.size());
        SwapWordBytes(data.data(), data.size());
    }
    gcry_cipher_hd_t h = nullptr;
    const int mode = fourth == '7' ? GCRY_CIPHER_MODE_ECB : GCRY_CIPHER_MODE_CBC;
    if (gcry_cipher_open(&h, algo, mode, 0) != 0)
        throw std::runtime_error("gcry_cipher_open");
    gcry_cipher_ctl(h, GCRYCTL_SET_ALLOW_WEAK_KEY, nullptr, 1);
    const gcry_error_t err = gcry_cipher_setkey(h, gcryptKey.data(), gcryptKey.size());
    if (err != 0 && gcry_err_code(err) != GPG_ERR_WEAK_KEY)
        throw std::runtime_error("gcry_cipher_setkey");
    if (mode == GCRY_CIPHER_MODE_CBC) {
        const std::uint8_t zero[8] = {};
        gcry_cipher_setiv(h, zero, 8);
    }
    gcry_cipher_encrypt(h, data.data(), data.size(), nullptr, 0);
    gcry_cipher_close(h);
    if (fourth == '8')
        SwapWordBytes(data.data(), data.size());
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

} // namespace qvtest
