// Our DES, triple DES and IDEA against libgcrypt's, over many random keys and blocks.
#include "Des.h"
#include "Idea.h"

#include "GcryptSupport.h"

#include <gcrypt.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>

using namespace qv;
using qvtest::SwapWordBytes;

namespace {

class Gcrypt {
public:
    Gcrypt(int algo, const std::uint8_t* key, std::size_t keyLength) {
        qvtest::InitialiseGcrypt();
        EXPECT_EQ(gcry_cipher_open(&handle_, algo, GCRY_CIPHER_MODE_ECB, 0), 0u);
        // Weak DES keys are valid keys for the program.
        gcry_cipher_ctl(handle_, GCRYCTL_SET_ALLOW_WEAK_KEY, nullptr, 1);
        const gcry_error_t err = gcry_cipher_setkey(handle_, key, keyLength);
        EXPECT_TRUE(err == 0 || gcry_err_code(err) == GPG_ERR_WEAK_KEY) << gcry_strerror(err);
    }
    ~Gcrypt() { gcry_cipher_close(handle_); }

    void Encrypt(std::uint8_t* block) {
        ASSERT_EQ(gcry_cipher_encrypt(handle_, block, 8, nullptr, 0), 0u);
    }
    void Decrypt(std::uint8_t* block) {
        ASSERT_EQ(gcry_cipher_decrypt(handle_, block, 8, nullptr, 0), 0u);
    }

private:
    gcry_cipher_hd_t handle_ = nullptr;
};

constexpr int Rounds = 3000;

} // namespace

TEST(CipherDifferential, DesMatchesLibgcryptBothWays) {
    std::mt19937 rng(1);
    for (int i = 0; i < Rounds; ++i) {
        std::uint8_t key[8], block[8], theirs[8];
        for (auto& b : key)
            b = static_cast<std::uint8_t>(rng());
        if (i < 4) // the four weak keys
            std::memset(key, std::array<int, 4>{0x01, 0xFE, 0x1F, 0xE0}[i], 8);
        for (auto& b : block)
            b = static_cast<std::uint8_t>(rng());
        std::memcpy(theirs, block, 8);
        Gcrypt reference(GCRY_CIPHER_DES, key, 8);
        DesSchedule enc, dec;
        DesSetKey(enc, key, false);
        DesSetKey(dec, key, true);

        DesBlock(enc, block);
        reference.Encrypt(theirs);
        ASSERT_EQ(0, std::memcmp(block, theirs, 8)) << "enciphering, round " << i;
        DesBlock(dec, block);
        reference.Decrypt(theirs);
        ASSERT_EQ(0, std::memcmp(block, theirs, 8)) << "deciphering, round " << i;
    }
}

TEST(CipherDifferential, TripleDesMatchesLibgcryptBothWays) {
    std::mt19937 rng(2);
    for (int i = 0; i < Rounds; ++i) {
        std::uint8_t key[24], block[8], theirs[8];
        for (auto& b : key)
            b = static_cast<std::uint8_t>(rng());
        for (auto& b : block)
            b = static_cast<std::uint8_t>(rng());
        std::memcpy(theirs, block, 8);
        Gcrypt reference(GCRY_CIPHER_3DES, key, 24);
        TripleDesSchedule enc, dec;
        TripleDesSetKey(enc, key, false);
        TripleDesSetKey(dec, key, true);

        TripleDesBlock(enc, block);
        reference.Encrypt(theirs);
        ASSERT_EQ(0, std::memcmp(block, theirs, 8)) << "enciphering, round " << i;
        TripleDesBlock(dec, block);
        reference.Decrypt(theirs);
        ASSERT_EQ(0, std::memcmp(block, theirs, 8)) << "deciphering, round " << i;
    }
}

TEST(CipherDifferential, IdeaMatchesLibgcryptWithSwappedWordBytes) {
    std::mt19937 rng(3);
    for (int i = 0; i < Rounds; ++i) {
        std::uint8_t key[16], block[8], theirs[8], theirKey[16];
        for (auto& b : key)
            b = static_cast<std::uint8_t>(rng());
        if (i == 0)
            std::memset(key, 0, sizeof key); // all-zero subkeys exercise the 0 = 65536 rule
        for (auto& b : block)
            b = static_cast<std::uint8_t>(rng());
        std::memcpy(theirKey, key, 16);
        SwapWordBytes(theirKey, 16);
        std::memcpy(theirs, block, 8);
        SwapWordBytes(theirs, 8);
        Gcrypt reference(GCRY_CIPHER_IDEA, theirKey, 16);
        IdeaSubkeys enc, dec;
        IdeaExpandKey(key, enc);
        IdeaInvertKey(enc, dec);

        IdeaBlock(block, block, enc);
        reference.Encrypt(theirs);
        SwapWordBytes(theirs, 8);
        ASSERT_EQ(0, std::memcmp(block, theirs, 8)) << "enciphering, round " << i;
        SwapWordBytes(theirs, 8);
        IdeaBlock(block, block, dec);
        reference.Decrypt(theirs);
        SwapWordBytes(theirs, 8);
        ASSERT_EQ(0, std::memcmp(block, theirs, 8)) << "deciphering, round " << i;
    }
}
