// The bitsliced DES paths (SSE2, AVX2, AVX-512) give, block for block, what the one-block DES and
// triple DES give, and what libgcrypt gives, on every path this processor runs.
#include "DesSlices.h"
#include "CipherPaths.h"
#include "Des.h"

#include "GcryptSupport.h"

#include <gcrypt.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <random>
#include <string>
#include <vector>

using namespace qv;

namespace {

using Bytes = std::vector<std::uint8_t>;
using SliceFunction = std::size_t (*)(const std::uint32_t* const*, int, const std::uint8_t*,
                                      std::uint8_t*, std::size_t) noexcept;

struct SlicePath {
    CipherPath path;
    std::size_t group; // blocks worked on together
    SliceFunction blocks;
};

constexpr SlicePath AllPaths[] = {
    {CipherPath::Sse2, 128, DesBlocksSse2},
    {CipherPath::Avx2, 256, DesBlocksAvx2},
    {CipherPath::Avx512, 512, DesBlocksAvx512},
};

// The paths this processor runs. Prints which ran and which were skipped, so that a run on a
// machine without the wider sets says what it did not try.
std::vector<SlicePath> RunnablePaths() {
    std::vector<SlicePath> runnable;
    std::string ran, skipped;
    for (const SlicePath& p : AllPaths) {
        if (CipherPathSupported(p.path)) {
            runnable.push_back(p);
            ran += std::string(" ") + CipherPathName(p.path);
        } else {
            skipped += std::string(" ") + CipherPathName(p.path);
        }
    }
    std::cout << "DesSlices: ran" << (ran.empty() ? " none" : ran);
    if (!skipped.empty())
        std::cout << "; skipped, not supported here:" << skipped;
    std::cout << std::endl;
    return runnable;
}

Bytes RandomBytes(std::mt19937& rng, std::size_t n) {
    Bytes bytes(n);
    for (auto& b : bytes)
        b = static_cast<std::uint8_t>(rng());
    return bytes;
}

// "" when got equals want, else where they first differ: a whole buffer printed on failure
// would bury the message.
std::string Mismatch(const Bytes& got, const Bytes& want) {
    if (got.size() != want.size())
        return std::to_string(got.size()) + " bytes, expected " + std::to_string(want.size());
    const auto where = std::mismatch(got.begin(), got.end(), want.begin());
    if (where.first == got.end())
        return "";
    const std::size_t offset = static_cast<std::size_t>(where.first - got.begin());
    return "first differs at byte " + std::to_string(offset) + " (block " +
           std::to_string(offset / 8) + ")";
}

// The four weak keys: every round key is the same, all zeros or all ones in each half.
constexpr std::uint8_t WeakKeys[4][8] = {{0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01},
                                         {0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE, 0xFE},
                                         {0x1F, 0x1F, 0x1F, 0x1F, 0x0E, 0x0E, 0x0E, 0x0E},
                                         {0xE0, 0xE0, 0xE0, 0xE0, 0xF1, 0xF1, 0xF1, 0xF1}};

// DES or triple DES in one direction under one key, as the schedules the sliced paths take and
// as the one-block function they must agree with.
class Cipher {
public:
    Cipher(const Bytes& key, bool triple, bool decipher) : triple_(triple) {
        if (triple) {
            TripleDesSetKey(triple_des_, key.data(), decipher);
            schedules_ = {triple_des_.first.keys, triple_des_.second.keys, triple_des_.third.keys};
        } else {
            DesSetKey(des_, key.data(), decipher);
            schedules_ = {des_.keys};
        }
    }

    int Steps() const { return static_cast<int>(schedules_.size()); }
    const std::uint32_t* const* Schedules() const { return schedules_.data(); }

    Bytes OneAtATime(Bytes data) const {
        for (std::size_t i = 0; i + 8 <= data.size(); i += 8) {
            if (triple_)
                TripleDesBlock(triple_des_, data.data() + i);
            else
                DesBlock(des_, data.data() + i);
        }
        return data;
    }

private:
    bool triple_;
    DesSchedule des_;
    TripleDesSchedule triple_des_;
    std::vector<const std::uint32_t*> schedules_;
};

std::string Describe(bool triple, bool decipher) {
    return std::string(triple ? "triple DES" : "DES") +
           (decipher ? ", deciphering" : ", enciphering");
}

} // namespace

// Every count around the group size and a 10240-byte chunk, out of place and in place: the
// return value is the count rounded down to the group, the blocks done equal the one-block
// cipher's, and nothing after them is touched.
TEST(DesSlices, EqualOneBlockCipherAndTouchOnlyWholeGroups) {
    std::mt19937 rng(21);
    for (const SlicePath& p : RunnablePaths()) {
        SCOPED_TRACE(CipherPathName(p.path));
        const std::size_t g = p.group;
        for (const bool triple : {false, true})
            for (const bool decipher : {false, true}) {
                SCOPED_TRACE(Describe(triple, decipher));
                const Cipher cipher(RandomBytes(rng, 24), triple, decipher);
                for (const std::size_t count :
                     {std::size_t{0}, g - 1, g, g + 1, 2 * g + 1, std::size_t{1280}}) {
                    SCOPED_TRACE("count " + std::to_string(count));
                    const std::size_t done = count / g * g;
                    const Bytes input = RandomBytes(rng, 8 * count);
                    const Bytes expected =
                        cipher.OneAtATime(Bytes(input.begin(), input.begin() + 8 * done));

                    Bytes out(8 * count + 16, 0xEE);
                    EXPECT_EQ(p.blocks(cipher.Schedules(), cipher.Steps(), input.data(), out.data(),
                                       count),
                              done);
                    EXPECT_EQ(Mismatch(Bytes(out.begin(), out.begin() + 8 * done), expected), "");
                    EXPECT_EQ(Mismatch(Bytes(out.begin() + 8 * done, out.end()),
                                       Bytes(out.size() - 8 * done, 0xEE)),
                              "")
                        << "after the blocks done";

                    Bytes inPlace = input;
                    inPlace.resize(input.size() + 16, 0xEE);
                    EXPECT_EQ(p.blocks(cipher.Schedules(), cipher.Steps(), inPlace.data(),
                                       inPlace.data(), count),
                              done);
                    EXPECT_EQ(
                        Mismatch(Bytes(inPlace.begin(), inPlace.begin() + 8 * done), expected), "")
                        << "in place";
                    Bytes untouched(input.begin() + 8 * done, input.end());
                    untouched.resize(untouched.size() + 16, 0xEE);
                    EXPECT_EQ(Mismatch(Bytes(inPlace.begin() + 8 * done, inPlace.end()), untouched),
                              "")
                        << "in place, after the blocks done";
                }
            }
    }
}

// Many keys, the weak ones among them (whose round keys are all alike), each on one group of
// random blocks: every key bit must reach its S-box input in every round.
TEST(DesSlices, EqualOneBlockCipherUnderRandomAndWeakKeys) {
    std::mt19937 rng(22);
    std::vector<Bytes> keys;
    for (const auto& weak : WeakKeys) {
        const Bytes key(weak, weak + 8);
        keys.push_back(key);
        // Triple DES with the weak key three times, and with it between two random keys.
        Bytes thrice;
        for (int i = 0; i < 3; ++i)
            thrice.insert(thrice.end(), key.begin(), key.end());
        keys.push_back(thrice);
        Bytes between = RandomBytes(rng, 24);
        std::copy(key.begin(), key.end(), between.begin() + 8);
        keys.push_back(between);
    }
    for (int i = 0; i < 8; ++i) {
        keys.push_back(RandomBytes(rng, 8));
        keys.push_back(RandomBytes(rng, 24));
    }
    for (const SlicePath& p : RunnablePaths()) {
        SCOPED_TRACE(CipherPathName(p.path));
        for (std::size_t k = 0; k < keys.size(); ++k) {
            const bool triple = keys[k].size() == 24;
            for (const bool decipher : {false, true}) {
                SCOPED_TRACE("key " + std::to_string(k) + ", " + Describe(triple, decipher));
                const Cipher cipher(keys[k], triple, decipher);
                const Bytes input = RandomBytes(rng, 8 * p.group);
                Bytes out(input.size());
                ASSERT_EQ(
                    p.blocks(cipher.Schedules(), cipher.Steps(), input.data(), out.data(), p.group),
                    p.group);
                ASSERT_EQ(Mismatch(out, cipher.OneAtATime(input)), "");
            }
        }
    }
}

// Against an independent implementation, libgcrypt's DES and triple DES in ECB mode.
TEST(DesSlices, EqualLibgcrypt) {
    qvtest::InitialiseGcrypt();
    std::mt19937 rng(23);
    for (const SlicePath& p : RunnablePaths()) {
        SCOPED_TRACE(CipherPathName(p.path));
        for (int i = 0; i < 8; ++i) {
            const bool triple = i % 2 == 1;
            Bytes key = RandomBytes(rng, triple ? 24 : 8);
            if (i == 0)
                key.assign(WeakKeys[1], WeakKeys[1] + 8);
            const Bytes plain = RandomBytes(rng, 8 * p.group);

            gcry_cipher_hd_t handle = nullptr;
            ASSERT_EQ(gcry_cipher_open(&handle, triple ? GCRY_CIPHER_3DES : GCRY_CIPHER_DES,
                                       GCRY_CIPHER_MODE_ECB, 0),
                      0u);
            gcry_cipher_ctl(handle, GCRYCTL_SET_ALLOW_WEAK_KEY, nullptr, 1);
            const gcry_error_t err = gcry_cipher_setkey(handle, key.data(), key.size());
            EXPECT_TRUE(err == 0 || gcry_err_code(err) == GPG_ERR_WEAK_KEY) << gcry_strerror(err);
            Bytes theirCipher(plain.size());
            EXPECT_EQ(gcry_cipher_encrypt(handle, theirCipher.data(), theirCipher.size(),
                                          plain.data(), plain.size()),
                      0u);
            gcry_cipher_close(handle);

            SCOPED_TRACE(Describe(triple, false) + ", key " + std::to_string(i));
            const Cipher encipher(key, triple, false), decipher(key, triple, true);
            Bytes ours(plain.size());
            ASSERT_EQ(p.blocks(encipher.Schedules(), encipher.Steps(), plain.data(), ours.data(),
                               p.group),
                      p.group);
            EXPECT_EQ(Mismatch(ours, theirCipher), "") << "enciphering";
            ASSERT_EQ(p.blocks(decipher.Schedules(), decipher.Steps(), theirCipher.data(),
                               ours.data(), p.group),
                      p.group);
            EXPECT_EQ(Mismatch(ours, plain), "") << "deciphering";
        }
    }
}
