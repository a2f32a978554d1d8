// The vector paths of IDEA (IdeaLanes.h) give, block for block, what the one-block form gives,
// for every count and in place, and agree with libgcrypt's IDEA. Each test runs every path this
// processor supports and names the paths it ran and the ones it skipped.
#include "IdeaLanes.h"
#include "CipherPaths.h"
#include "Idea.h"

#include "GcryptSupport.h"

#include <gcrypt.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <initializer_list>
#include <iostream>
#include <random>
#include <string>
#include <vector>

using namespace qv;
using qvtest::SwapWordBytes;

namespace {

using Bytes = std::vector<std::uint8_t>;
using LanesFunction = std::size_t (*)(const std::uint16_t*, const std::uint8_t*, std::uint8_t*,
                                      std::size_t) noexcept;

struct LanePath {
    CipherPath path;
    LanesFunction run;
};

const LanePath LanePaths[] = {
    {CipherPath::Sse2, IdeaBlocksSse2},
    {CipherPath::Avx2, IdeaBlocksAvx2},
    {CipherPath::Avx512, IdeaBlocksAvx512},
};

// Runs body for every path the processor supports, under a trace naming it, then prints which
// paths ran and which were skipped. Skips the test when no path runs here.
void ForEachSupportedPath(const std::function<void(const LanePath&)>& body) {
    std::string ran, skipped;
    for (const LanePath& lane : LanePaths) {
        const std::string name = CipherPathName(lane.path);
        if (!CipherPathSupported(lane.path)) {
            skipped += " " + name;
            continue;
        }
        SCOPED_TRACE(name);
        body(lane);
        ran += " " + name;
    }
    std::cout << "IdeaLanes: ran" << (ran.empty() ? " none" : ran)
              << "; skipped as unsupported:" << (skipped.empty() ? " none" : skipped) << "\n";
    if (ran.empty())
        GTEST_SKIP() << "no vector path runs on this processor";
}

// The number of blocks a path works on together: the first count for which it does any. The
// header leaves it to the path, so the tests find it out.
std::size_t GroupOf(const LanePath& lane) {
    for (std::size_t count = 1; count <= 1024; ++count) {
        Bytes in(8 * count), out(8 * count);
        const std::size_t done = lane.run(IdeaSubkeys().keys, in.data(), out.data(), count);
        if (done != 0) {
            EXPECT_EQ(done, count) << "the first count a path works on is a whole group";
            return done;
        }
    }
    ADD_FAILURE() << "no blocks done for any count up to 1024";
    return 1024;
}

// Every block of in through the one-block form.
Bytes OneAtATime(const IdeaSubkeys& subkeys, const Bytes& in) {
    Bytes out(in.size());
    for (std::size_t i = 0; i + 8 <= in.size(); i += 8)
        IdeaBlock(in.data() + i, out.data() + i, subkeys);
    return out;
}

void SetWord(Bytes& bytes, std::size_t i, std::uint32_t value) {
    bytes[2 * i] = static_cast<std::uint8_t>(value);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(value >> 8);
}

Bytes KeyOfWords(std::initializer_list<std::uint16_t> words) {
    Bytes key(16);
    std::size_t i = 0;
    for (const std::uint16_t w : words)
        SetWord(key, i++, w);
    return key;
}

} // namespace

// Every subkey is b, and the first words of the blocks run through all 65536 values, as do the
// fourth words and Mul(x1, b) ^ (x3 + b) with x3 fixed: the operands of the first round's three
// multiplications by b. Whatever follows a multiplication is a bijection of the state, so a
// wrong product in any lane would change that block's output.
TEST(IdeaLanes, MultiplicationExactForEveryOperandWithCornerSubkeys) {
    const std::uint16_t multipliers[] = {0, 1, 2, 0x8000, 0xFFFE, 0xFFFF, 0x9E37};
    Bytes blocks(8 * 65536);
    for (std::uint32_t v = 0; v < 65536; ++v) {
        SetWord(blocks, 4 * v, v);
        SetWord(blocks, 4 * v + 1, v * 0x9E37u + 1);
        SetWord(blocks, 4 * v + 2, 0);
        SetWord(blocks, 4 * v + 3, v ^ 0xA5C3u);
    }

    std::vector<std::pair<std::uint16_t, Bytes>> expected;
    for (const std::uint16_t b : multipliers) {
        IdeaSubkeys subkeys;
        for (auto& z : subkeys.keys)
            z = b;
        expected.emplace_back(b, OneAtATime(subkeys, blocks));
    }
    ForEachSupportedPath([&](const LanePath& lane) {
        for (const auto& [b, want] : expected) {
            SCOPED_TRACE("every subkey " + std::to_string(b));
            IdeaSubkeys subkeys;
            for (auto& z : subkeys.keys)
                z = b;
            Bytes out(blocks.size());
            ASSERT_EQ(lane.run(subkeys.keys, blocks.data(), out.data(), 65536), 65536u);
            for (std::size_t i = 0; i < 65536; ++i)
                ASSERT_EQ(0, std::memcmp(out.data() + 8 * i, want.data() + 8 * i, 8))
                    << "block " << i;
        }
    });
}

TEST(IdeaLanes, EqualOneBlockAtATimeForEveryCountInPlaceAndOut) {
    std::mt19937 rng(21);
    Bytes randomKey(16);
    for (auto& b : randomKey)
        b = static_cast<std::uint8_t>(rng());
    struct KeyCase {
        const char* name;
        Bytes key;
    };
    const KeyCase keys[] = {
        {"random key", randomKey},
        {"zero key: every subkey 0", Bytes(16, 0)},
        // First-round multipliers 0, and so the deciphering output multipliers 0.
        {"key words 1 and 4 zero", KeyOfWords({0, 0x1234, 0xFFFF, 0, 1, 0x8000, 0xFFFF, 2})},
        {"key words 1 and 0xFFFF", KeyOfWords({1, 0xFFFF, 1, 0xFFFF, 1, 0xFFFF, 1, 0xFFFF})},
    };

    // A chunk's worth of blocks with zero words among them, and whole blocks of 0 and of 0xFFFF.
    constexpr std::size_t ChunkBlocks = 1280;
    Bytes input(8 * ChunkBlocks);
    for (auto& b : input)
        b = static_cast<std::uint8_t>(rng());
    for (std::size_t i = 0; i < 4 * ChunkBlocks; i += 3)
        SetWord(input, i, 0);
    std::memset(input.data() + 8 * 5, 0, 8);
    std::memset(input.data() + 8 * 6, 0xFF, 8);

    ForEachSupportedPath([&](const LanePath& lane) {
        const std::size_t group = GroupOf(lane);
        for (const KeyCase& k : keys) {
            IdeaSubkeys enc, dec;
            IdeaExpandKey(k.key.data(), enc);
            IdeaInvertKey(enc, dec);
            for (const IdeaSubkeys* subkeys : {&enc, &dec}) {
                SCOPED_TRACE(std::string(k.name) +
                             (subkeys == &enc ? ", enciphering" : ", deciphering"));
                const Bytes expected = OneAtATime(*subkeys, input);
                for (const std::size_t count : {std::size_t{0}, std::size_t{1}, group - 1, group,
                                                group + 1, 2 * group + 1, ChunkBlocks}) {
                    SCOPED_TRACE("count " + std::to_string(count));
                    const std::size_t bytes = 8 * count;
                    const std::size_t done = count - count % group;

                    // Out of place, into a buffer one block longer: nothing after the blocks
                    // done may change.
                    Bytes out(bytes + 8, 0xEE);
                    EXPECT_EQ(lane.run(subkeys->keys, input.data(), out.data(), count), done);
                    EXPECT_EQ(Bytes(out.begin(), out.begin() + 8 * done),
                              Bytes(expected.begin(), expected.begin() + 8 * done));
                    EXPECT_EQ(Bytes(out.begin() + 8 * done, out.end()),
                              Bytes(bytes + 8 - 8 * done, 0xEE));

                    Bytes inPlace(input.begin(), input.begin() + bytes);
                    EXPECT_EQ(lane.run(subkeys->keys, inPlace.data(), inPlace.data(), count), done);
                    EXPECT_EQ(Bytes(inPlace.begin(), inPlace.begin() + 8 * done),
                              Bytes(expected.begin(), expected.begin() + 8 * done));
                    EXPECT_EQ(Bytes(inPlace.begin() + 8 * done, inPlace.end()),
                              Bytes(input.begin() + 8 * done, input.begin() + bytes));
                }
            }
        }
    });
}

// libgcrypt writes every word most significant byte first: its key and blocks are ours with the
// two bytes of each word exchanged.
TEST(IdeaLanes, MatchLibgcryptWithSwappedWordBytes) {
    qvtest::InitialiseGcrypt();
    ForEachSupportedPath([&](const LanePath& lane) {
        const std::size_t count = 2 * GroupOf(lane);
        std::mt19937 rng(22);
        for (int round = 0; round < 200; ++round) {
            SCOPED_TRACE("key " + std::to_string(round));
            Bytes key(16), blocks(8 * count);
            for (auto& b : key)
                b = static_cast<std::uint8_t>(round == 0 ? 0 : rng());
            for (auto& b : blocks)
                b = static_cast<std::uint8_t>(rng());

            gcry_cipher_hd_t handle = nullptr;
            ASSERT_EQ(gcry_cipher_open(&handle, GCRY_CIPHER_IDEA, GCRY_CIPHER_MODE_ECB, 0), 0u);
            Bytes theirKey = key;
            SwapWordBytes(theirKey.data(), theirKey.size());
            ASSERT_EQ(gcry_cipher_setkey(handle, theirKey.data(), theirKey.size()), 0u);
            auto theirs = [&](bool encipher) {
                Bytes data = blocks;
                SwapWordBytes(data.data(), data.size());
                const gcry_error_t err =
                    encipher ? gcry_cipher_encrypt(handle, data.data(), data.size(), nullptr, 0)
                             : gcry_cipher_decrypt(handle, data.data(), data.size(), nullptr, 0);
                EXPECT_EQ(err, 0u);
                SwapWordBytes(data.data(), data.size());
                return data;
            };
            const Bytes theirEnciphered = theirs(true), theirDeciphered = theirs(false);
            gcry_cipher_close(handle);

            IdeaSubkeys enc, dec;
            IdeaExpandKey(key.data(), enc);
            IdeaInvertKey(enc, dec);
            Bytes ours(blocks.size());
            ASSERT_EQ(lane.run(enc.keys, blocks.data(), ours.data(), count), count);
            ASSERT_EQ(ours, theirEnciphered) << "enciphering";
            ASSERT_EQ(lane.run(dec.keys, blocks.data(), ours.data(), count), count);
            ASSERT_EQ(ours, theirDeciphered) << "deciphering";
        }
    });
}
