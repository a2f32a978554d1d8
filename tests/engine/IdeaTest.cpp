#include "Idea.h"
#include "HexUtil.h"

#include <gtest/gtest.h>

using namespace qv;
using qvtest::FromHex;
using qvtest::ToHex;

// The published vector (Lai and Massey): key words 0001 0002 ... 0008, plain words
// 0000 0001 0002 0003, enciphered words 11FB ED2B 0198 6DE5, here with every 16-bit word
// written least significant byte first.
TEST(Idea, PublishedVectorInLittleEndianWordOrder) {
    const auto key = FromHex("0100 0200 0300 0400 0500 0600 0700 0800");
    const auto plain = FromHex("0000 0100 0200 0300");
    const std::string cipher = "FB112BED9801E56D";

    IdeaSubkeys enc, dec;
    IdeaExpandKey(key.data(), enc);
    IdeaInvertKey(enc, dec);

    std::uint8_t block[8];
    IdeaBlock(plain.data(), block, enc);
    EXPECT_EQ(ToHex(block, 8), cipher);
    IdeaBlock(block, block, dec); // in place
    EXPECT_EQ(ToHex(block, 8), ToHex(plain));
}

TEST(Idea, MultiplicationTreatsZeroAs65536) {
    struct Case {
        std::uint16_t a, b, product;
    };
    const Case cases[] = {
        {0, 0, 1},                        // 65536 * 65536 = (-1)(-1) = 1
        {0, 1, 0},                        // 65536 * 1 = 65536, written 0
        {1, 0, 0},     {0, 2, 65535},     // -2 mod 65537 = 65535
        {0, 65535, 2},                    // (-1)(-2) = 2
        {2, 3, 6},     {65535, 65535, 4}, // (-2)(-2) = 4
        {256, 256, 0},                    // 65536, written 0
    };
    for (const auto& c : cases)
        EXPECT_EQ(IdeaMul(c.a, c.b), c.product) << c.a << " * " << c.b;
}

TEST(Idea, MultiplicationOfEveryValueByZeroAndOtherSubkeysMatchesWideArithmetic) {
    // The zero cases of both operands go through their own branch-free steps; every a against
    // subkeys at and around them.
    for (const std::uint32_t b : {0u, 1u, 2u, 0x7FFFu, 0x8000u, 0xFFFEu, 0xFFFFu, 0x1234u}) {
        for (std::uint32_t a = 0; a <= 0xFFFF; ++a) {
            const std::uint64_t wide = std::uint64_t{a ? a : 65536} * (b ? b : 65536) % 65537;
            ASSERT_EQ(IdeaMul(static_cast<std::uint16_t>(a), static_cast<std::uint16_t>(b)),
                      static_cast<std::uint16_t>(wide))
                << a << " * " << b;
        }
    }
}

TEST(Idea, MulInverseOfEveryValue) {
    EXPECT_EQ(IdeaMulInverse(0), 0);
    EXPECT_EQ(IdeaMulInverse(1), 1);
    for (std::uint32_t x = 0; x <= 0xFFFF; ++x) {
        const auto v = static_cast<std::uint16_t>(x);
        ASSERT_EQ(IdeaMul(v, IdeaMulInverse(v)), 1) << "x = " << x;
    }
}

TEST(Idea, InvertedScheduleUndoesAnyBlock) {
    const auto key = FromHex("2BD6459F82C5B300952C49104881FF48");
    IdeaSubkeys enc, dec;
    IdeaExpandKey(key.data(), enc);
    IdeaInvertKey(enc, dec);
    std::uint8_t block[8] = {};
    for (int i = 0; i < 1000; ++i) {
        std::uint8_t original[8];
        for (int j = 0; j < 8; ++j)
            original[j] = static_cast<std::uint8_t>(i * 31 + j * 7);
        IdeaBlock(original, block, enc);
        IdeaBlock(block, block, dec);
        ASSERT_EQ(ToHex(block, 8), ToHex(original, 8));
    }
}
