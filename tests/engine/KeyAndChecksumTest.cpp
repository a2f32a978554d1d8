#include "Crc.h"
#include "KeyExpand.h"
#include "Random.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace qv;

TEST(Checksum, KnownValuesFromZero) {
    EXPECT_EQ(UpdateCrc(0, "abc", 3), 0x5C6277B7u);
    EXPECT_EQ(UpdateCrc(0, "123456789", 9), 0xD59D19BEu);
    EXPECT_EQ(UpdateCrc(0x12345678, "abc", 0), 0x12345678u);
    EXPECT_EQ(UpdateCrc(0x12345678, nullptr, 5), 0x12345678u);
}

TEST(Checksum, PiecesEqualWhole) {
    std::vector<std::uint8_t> data(5000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 131 + (i >> 8));
    const std::uint32_t whole = UpdateCrc(0, data.data(), data.size());
    for (std::size_t cut : {1u, 7u, 8u, 1024u, 4999u}) {
        std::uint32_t crc = UpdateCrc(0, data.data(), cut);
        crc = UpdateCrc(crc, data.data() + cut, data.size() - cut);
        EXPECT_EQ(crc, whole) << "cut at " << cut;
    }
    std::uint32_t byByte = 0;
    for (auto b : data)
        byByte = UpdateCrc(byByte, &b, 1);
    EXPECT_EQ(byByte, whole);
}

TEST(Password, MaskTwiceRestoresAndZeroLengthChangesNothing) {
    std::uint8_t buffer[] = {'s', 'e', 'c', 'r', 'e', 't', 0x5E, 0x00};
    std::uint8_t original[sizeof buffer];
    std::memcpy(original, buffer, sizeof buffer);
    MaskPassword(buffer, sizeof buffer);
    EXPECT_EQ(buffer[0], 's' ^ 0x5E);
    EXPECT_EQ(buffer[6], 0x00);
    MaskPassword(buffer, sizeof buffer);
    EXPECT_EQ(0, std::memcmp(buffer, original, sizeof buffer));
    MaskPassword(buffer, 0);
    EXPECT_EQ(0, std::memcmp(buffer, original, sizeof buffer));
}

namespace {

// The key before the position masks are applied, as the fill pattern: each character is the
// index (1-based) of the password byte that lands there.
std::string FillPattern(std::size_t keySize, std::size_t n) {
    std::vector<std::uint8_t> password(n);
    for (std::size_t i = 0; i < n; ++i)
        password[i] = static_cast<std::uint8_t>(i + 1);
    std::vector<std::uint8_t> key(keySize);
    ExpandKey(key.data(), keySize, password.data(), n);
    std::string pattern;
    for (std::size_t i = 0; i < keySize; ++i) {
        const auto unmasked =
            static_cast<std::uint8_t>(key[i] ^ static_cast<std::uint8_t>(4 * i + 0x6D));
        pattern += static_cast<char>(unmasked < 10 ? '0' + unmasked : 'a' + unmasked - 10);
        if (unmasked > 35)
            pattern.back() = '?';
    }
    return pattern;
}

} // namespace

TEST(ExpandKey, FillsByRepeatingThePassword) {
    struct Case {
        std::size_t keySize, n;
        const char* pattern;
    };
    const Case cases[] = {
        {16, 1, "1111111111111111"},  {24, 1, "111111111111111111111111"},
        {16, 6, "1234561234561234"},  {24, 6, "123456123456123456123456"},
        {16, 10, "123456789a123456"}, {24, 10, "123456789a123456789a1234"},
        {16, 16, "123456789abcdefg"}, {24, 16, "123456789abcdefg12345678"},
        {16, 24, "123456789abcdefg"}, {24, 24, "123456789abcdefghijklmno"},
        {16, 30, "123456789abcdefg"}, {24, 30, "123456789abcdefghijklmno"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FillPattern(c.keySize, c.n), c.pattern) << c.keySize << " bytes from " << c.n;
}

TEST(ExpandKey, PositionMasksOf24ByteKeyExtendThe16ByteOnes) {
    const std::uint8_t zeros[24] = {};
    std::uint8_t key16[16], key24[24];
    ExpandKey(key16, 16, zeros, 6);
    ExpandKey(key24, 24, zeros, 6);
    EXPECT_EQ(0, std::memcmp(key16, key24, 16));
    EXPECT_EQ(key16[0], 0x6D);
    EXPECT_EQ(key16[1], 0x71);
    EXPECT_EQ(key24[23], static_cast<std::uint8_t>(4 * 23 + 0x6D));
}

TEST(RandomGenerator, LinearCongruentialSequence) {
    SetRandomSeed(0);
    // seed 1 gives 0; seed 134775814 gives 134775814 * 256 >> 32 = 8.
    EXPECT_EQ(RandomBelow(256), 0u);
    EXPECT_EQ(RandomBelow(256), 8u);
    EXPECT_EQ(RandomSeed(), 134775814u);
}

// Wipes on several threads fill their blocks at once: each gets a whole run of the sequence,
// and no step is lost or taken twice.
TEST(RandomGenerator, BytesAreRunsOfTheSequenceEvenFromManyThreads) {
    constexpr std::uint32_t Seed = 4711;
    SetRandomSeed(Seed);
    std::vector<std::uint8_t> expected(1024);
    for (std::uint8_t& b : expected)
        b = static_cast<std::uint8_t>(RandomBelow(256));
    const std::uint32_t afterOneRun = RandomSeed();
    SetRandomSeed(Seed);
    std::vector<std::uint8_t> bytes(1024);
    RandomBytes(bytes.data(), bytes.size());
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(RandomSeed(), afterOneRun);

    // Every run drawn by four threads at once is one that a single thread would draw from some
    // seed of the sequence, and the seed ends where 400 runs take it.
    SetRandomSeed(Seed);
    constexpr int Threads = 4;
    constexpr int Runs = 100;
    std::vector<std::vector<std::vector<std::uint8_t>>> drawn(Threads);
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t)
        threads.emplace_back([&drawn, t] {
            for (int r = 0; r < Runs; ++r) {
                std::vector<std::uint8_t> run(1024);
                RandomBytes(run.data(), run.size());
                drawn[t].push_back(std::move(run));
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    const std::uint32_t afterThreads = RandomSeed();
    SetRandomSeed(Seed);
    std::set<std::vector<std::uint8_t>> sequence;
    for (int r = 0; r < Threads * Runs; ++r) {
        std::vector<std::uint8_t> run(1024);
        for (std::uint8_t& b : run)
            b = static_cast<std::uint8_t>(RandomBelow(256));
        sequence.insert(run);
    }
    EXPECT_EQ(RandomSeed(), afterThreads) << "steps were lost";
    for (const auto& runs : drawn)
        for (const auto& run : runs)
            EXPECT_EQ(sequence.erase(run), 1u) << "a run that is not the sequence's, or twice";
}
