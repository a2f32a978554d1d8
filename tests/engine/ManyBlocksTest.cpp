// The forms of each cipher that work on many blocks at once, or on a block held in a word, give
// exactly what the one-block form gives.
#include "Crc.h"
#include "Des.h"
#include "Idea.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

using namespace qv;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Cipher {
    const char* name;
    std::function<void(std::uint8_t*)> block;                                  // in place
    std::function<void(const std::uint8_t*, std::uint8_t*, std::size_t)> many; // in to out
    std::function<std::uint64_t(std::uint64_t)> word;
};

std::uint64_t LittleWord(const std::uint8_t* p) {
    std::uint64_t w = 0;
    for (int i = 7; i >= 0; --i)
        w = w << 8 | p[i];
    return w;
}

} // namespace

TEST(ManyBlocks, EqualOneBlockAtATimeForEveryCountAndInPlace) {
    const auto key = qvtest::PatternBytes(24, 11);
    DesSchedule des;
    DesSetKey(des, key.data(), true);
    TripleDesSchedule tripleDes;
    TripleDesSetKey(tripleDes, key.data(), true);
    IdeaSubkeys idea;
    IdeaExpandKey(key.data(), idea);

    const Cipher ciphers[] = {
        {"DES", [&](std::uint8_t* b) { DesBlock(des, b); },
         [&](const std::uint8_t* in, std::uint8_t* out, std::size_t n) {
             DesBlocks(des, in, out, n);
         },
         [&](std::uint64_t w) { return DesBlockWord(des, w); }},
        {"3xDES", [&](std::uint8_t* b) { TripleDesBlock(tripleDes, b); },
         [&](const std::uint8_t* in, std::uint8_t* out, std::size_t n) {
             TripleDesBlocks(tripleDes, in, out, n);
         },
         [&](std::uint64_t w) { return TripleDesBlockWord(tripleDes, w); }},
        {"IDEA", [&](std::uint8_t* b) { IdeaBlock(b, b, idea); },
         [&](const std::uint8_t* in, std::uint8_t* out, std::size_t n) {
             IdeaBlocks(idea, in, out, n);
         },
         [&](std::uint64_t w) { return IdeaBlockWord(idea, w); }},
    };
    for (const Cipher& c : ciphers) {
        SCOPED_TRACE(c.name);
        // 255 blocks, and every count around the number of blocks worked on together.
        for (const std::size_t count : {0, 1, 2, 3, 4, 5, 7, 8, 9, 255}) {
            SCOPED_TRACE(count);
            const Bytes input = qvtest::PatternBytes(8 * count, static_cast<std::uint32_t>(count));
            Bytes expected = input;
            for (std::size_t i = 0; i < count; ++i)
                c.block(expected.data() + 8 * i);

            Bytes out(8 * count + 8, 0xEE); // one block more, which must stay untouched
            c.many(input.data(), out.data(), count);
            EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out.begin()));
            EXPECT_EQ(Bytes(out.end() - 8, out.end()), Bytes(8, 0xEE));

            Bytes inPlace = input;
            c.many(inPlace.data(), inPlace.data(), count);
            EXPECT_EQ(inPlace, expected);

            for (std::size_t i = 0; i < count; ++i)
                ASSERT_EQ(c.word(LittleWord(input.data() + 8 * i)),
                          LittleWord(expected.data() + 8 * i))
                    << "block " << i;
        }
    }
}
