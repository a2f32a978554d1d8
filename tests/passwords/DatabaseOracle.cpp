#include "DatabaseOracle.h"

#include "GcryptSupport.h"

#include <gcrypt.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace qvtest {

namespace {

std::array<std::uint8_t, 1024> CrcTableBytes() {
    std::array<std::uint8_t, 1024> bytes{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        for (int b = 0; b < 4; ++b)
            bytes[4 * i + b] = static_cast<std::uint8_t>(c >> (8 * b));
    }
    return bytes;
}

// The 16-byte key: the masked password bytes repeated, then XORed with 4 * i + 0x6D.
std::array<std::uint8_t, 16> Key(const std::string& masterPassword, std::size_t& n) {
    n = std::min<std::size_t>(masterPassword.size(), 16);
    std::array<std::uint8_t, 16> key{};
    for (std::size_t i = 0; i < 16; ++i)
        key[i] = static_cast<std::uint8_t>(
            (static_cast<std::uint8_t>(masterPassword[i % n]) ^ 0x5E) ^ ((4 * i + 0x6D) & 0xFF));
    return key;
}

void IdeaCbc(const std::array<std::uint8_t, 16>& key, std::vector<std::uint8_t>& data,
             bool encrypt) {
    qvtest::InitialiseGcrypt();
    std::array<std::uint8_t, 16> theirKey = key;
    SwapWordBytes(theirKey.data(), theirKey.size());
    gcry_cipher_hd_t handle = nullptr;
    ASSERT_EQ(gcry_cipher_open(&handle, GCRY_CIPHER_IDEA, GCRY_CIPHER_MODE_CBC, 0), 0u);
    ASSERT_EQ(gcry_cipher_setkey(handle, theirKey.data(), theirKey.size()), 0u);
    const std::uint8_t iv[8] = {};
    ASSERT_EQ(gcry_cipher_setiv(handle, iv, sizeof iv), 0u);
    SwapWordBytes(data.data(), data.size());
    const gcry_error_t err =
        encrypt ? gcry_cipher_encrypt(handle, data.data(), data.size(), nullptr, 0)
                : gcry_cipher_decrypt(handle, data.data(), data.size(), nullptr, 0);
    EXPECT_EQ(err, 0u) << gcry_strerror(err);
    SwapWordBytes(data.data(), data.size());
    gcry_cipher_close(handle);
}

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

std::uint32_t GetLe32(const std::uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

} // namespace

std::uint32_t OracleChecksum(const std::uint8_t* bytes, std::size_t count) {
    static const auto table = CrcTableBytes();
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t k = (crc ^ bytes[i]) & 0xFF;
        crc = (crc >> 8) ^ GetLe32(table.data() + k);
    }
    return crc;
}

std::vector<std::uint8_t> OracleDatabase(const std::string& masterPassword,
                                         const std::string& entryText,
                                         std::optional<std::int32_t> lengthField) {
    std::size_t n = 0;
    const auto key = Key(masterPassword, n);
    std::vector<std::uint8_t> data(entryText.begin(), entryText.end());
    data.resize(data.size() + 8 - data.size() % 8, 0);
    const std::uint32_t checksum = OracleChecksum(data.data(), data.size());
    IdeaCbc(key, data, true);

    std::vector<std::uint8_t> file = {'P', 'T', '9', '8'};
    PutLe32(file, static_cast<std::uint32_t>(
                      lengthField.value_or(static_cast<std::int32_t>(entryText.size()))));
    PutLe32(file, checksum);
    const std::uint32_t check = OracleChecksum(key.data(), n) & 0xFFFF;
    file.push_back(static_cast<std::uint8_t>(check));
    file.push_back(static_cast<std::uint8_t>(check >> 8));
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

OracleReading OracleRead(const std::vector<std::uint8_t>& file, const std::string& masterPassword) {
    OracleReading reading;
    if (file.size() < 14)
        return reading;
    reading.magicOk = std::memcmp(file.data(), "PT98", 4) == 0;
    reading.textLength = static_cast<std::int32_t>(GetLe32(file.data() + 4));
    std::size_t n = 0;
    const auto key = Key(masterPassword, n);
    reading.keyCheckOk = (OracleChecksum(key.data(), n) & 0xFFFF) ==
                         static_cast<std::uint32_t>(file[12] | file[13] << 8);
    reading.plain.assign(file.begin() + 14, file.end());
    reading.plain.resize(reading.plain.size() - reading.plain.size() % 8);
    IdeaCbc(key, reading.plain, false);
    reading.checksumOk =
        OracleChecksum(reading.plain.data(), reading.plain.size()) == GetLe32(file.data() + 8);
    return reading;
}

} // namespace qvtest
