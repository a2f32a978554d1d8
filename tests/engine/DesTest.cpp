#include "Des.h"
#include "HexUtil.h"

#include <gtest/gtest.h>

#include <array>

using namespace qv;
using qvtest::FromHex;
using qvtest::ToHex;

namespace {

struct DesVector {
    const char* key;
    const char* plain;
    const char* cipher;
};

// Published known answers: NIST SP 800-17 (variable plaintext, variable key, permutation and
// substitution tables) and the FIPS 81 example ("Now is the time for all " under
// 0123456789ABCDEF).
constexpr DesVector Vectors[] = {
    {"0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
    {"0101010101010101", "4000000000000000", "DD7F121CA5015619"},
    {"0101010101010101", "2000000000000000", "2E8653104F3834EA"},
    {"0101010101010101", "0000000000000001", "166B40B44ABA4BD6"},
    {"8001010101010101", "0000000000000000", "95A8D72813DAA94D"},
    {"4001010101010101", "0000000000000000", "0EEC1487DD8C26D5"},
    {"1046913489980131", "0000000000000000", "88D55E54F54C97B4"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "690F5B0D9A26939B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "7A389D10354BD271"},
    {"0123456789ABCDEF", "4E6F772069732074", "3FA40E8A984D4815"},
    {"0123456789ABCDEF", "68652074696D6520", "6A271787AB8883F9"},
    {"0123456789ABCDEF", "666F7220616C6C20", "893D51EC4B563B53"},
};

std::string Encipher(const std::vector<std::uint8_t>& key, std::vector<std::uint8_t> block) {
    DesSchedule schedule;
    DesSetKey(schedule, key.data(), false);
    DesBlock(schedule, block.data());
    return ToHex(block);
}

std::string Decipher(const std::vector<std::uint8_t>& key, std::vector<std::uint8_t> block) {
    DesSchedule schedule;
    DesSetKey(schedule, key.data(), true);
    DesBlock(schedule, block.data());
    return ToHex(block);
}

} // namespace

TEST(Des, PublishedVectorsEncipherAndDecipher) {
    for (const auto& v : Vectors) {
        SCOPED_TRACE(v.key + std::string(" / ") + v.plain);
        const auto key = FromHex(v.key);
        EXPECT_EQ(Encipher(key, FromHex(v.plain)), v.cipher);
        // Deciphering the expected output catches a matching pair of wrong directions.
        EXPECT_EQ(Decipher(key, FromHex(v.cipher)), v.plain);
    }
}

TEST(Des, LowBitOfEveryKeyByteHasNoEffect) {
    const auto key = FromHex("0123456789ABCDEF");
    auto flipped = key;
    for (auto& b : flipped)
        b ^= 1;
    const auto plain = FromHex("4E6F772069732074");
    EXPECT_EQ(Encipher(key, plain), Encipher(flipped, plain));
    EXPECT_EQ(Decipher(key, plain), Decipher(flipped, plain));
}

TEST(Des, TripleDesWithThreeEqualKeysIsSingleDes) {
    for (const auto& v : Vectors) {
        const auto key = FromHex(v.key);
        std::vector<std::uint8_t> key24;
        for (int i = 0; i < 3; ++i)
            key24.insert(key24.end(), key.begin(), key.end());
        auto block = FromHex(v.plain);
        TripleDesSchedule enc;
        TripleDesSetKey(enc, key24.data(), false);
        TripleDesBlock(enc, block.data());
        EXPECT_EQ(ToHex(block), v.cipher);
        TripleDesSchedule dec;
        TripleDesSetKey(dec, key24.data(), true);
        TripleDesBlock(dec, block.data());
        EXPECT_EQ(ToHex(block), v.plain);
    }
}

TEST(Des, TripleDesAppliesKeysInEdeOrder) {
    // E(K3, D(K2, E(K1, p))) built from single DES steps.
    const auto key24 = FromHex("0123456789ABCDEF 23456789ABCDEF01 456789ABCDEF0123");
    const auto plain = FromHex("5468652071756663");
    std::vector<std::uint8_t> key1(key24.begin(), key24.begin() + 8);
    std::vector<std::uint8_t> key2(key24.begin() + 8, key24.begin() + 16);
    std::vector<std::uint8_t> key3(key24.begin() + 16, key24.end());
    const std::string expected =
        Encipher(key3, FromHex(Decipher(key2, FromHex(Encipher(key1, plain)))));

    auto block = plain;
    TripleDesSchedule enc;
    TripleDesSetKey(enc, key24.data(), false);
    TripleDesBlock(enc, block.data());
    EXPECT_EQ(ToHex(block), expected);
    TripleDesSchedule dec;
    TripleDesSetKey(dec, key24.data(), true);
    TripleDesBlock(dec, block.data());
    EXPECT_EQ(block, plain);
}
