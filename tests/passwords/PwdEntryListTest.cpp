// The rules of the entry list: order, duplicates, lookup, and reading an entry text.
#include "PwdEntryList.h"

#include "PasswordsSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace qv;
using qvtest::Bytes;

namespace {

std::vector<std::string> Contents(const PwdEntryList& list) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < list.Size(); ++i)
        out.emplace_back(list[i]);
    return out;
}

} // namespace

TEST(CompareIgnoringCase, FoldsOnlyAsciiLettersAndIgnoresTheLocale) {
    struct Case {
        const char* a;
        const char* b;
        int sign;
    };
    const Case cases[] = {
        {"/HOME/Ann", "/home/ann", 0},
        {"alpha", "Zeta", -1},        // a plain byte order would put "Z" first
        {"_draft", "Y", -1},          // folded to lower case: '_' (0x5F) comes before 'y'
        {"abc", "ABCD", -1},          // a prefix sorts first
        {"\xC3\x84", "\xC3\xA4", -1}, // "Ä" and "ä" are different: UTF-8 bytes are not folded
        {"z", "\xC3\xA4", -1},        // bytes above 0x7F sort after ASCII
        {"", "", 0},
    };
    for (const Case& c : cases) {
        const int r = CompareIgnoringCase(c.a, c.b);
        EXPECT_EQ((r > 0) - (r < 0), c.sign) << c.a << " vs " << c.b;
        const int back = CompareIgnoringCase(c.b, c.a);
        EXPECT_EQ((back > 0) - (back < 0), -c.sign) << c.b << " vs " << c.a;
    }
}

TEST(PwdEntryList, KeepsEntriesSortedAndDropsDuplicatesIgnoringCase) {
    PwdEntryList list;
    EXPECT_TRUE(list.Add(Bytes("/srv/b=one")));
    EXPECT_TRUE(list.Add(Bytes("/home/Zeta=two")));
    EXPECT_TRUE(list.Add(Bytes("/home/alpha=three")));
    EXPECT_FALSE(list.Add(Bytes("/HOME/ALPHA=THREE"))); // the same text but for case
    EXPECT_TRUE(list.Add(Bytes("/home/alpha=Three2"))); // another password is another entry

    EXPECT_EQ(Contents(list), (std::vector<std::string>{"/home/alpha=three", "/home/alpha=Three2",
                                                        "/home/Zeta=two", "/srv/b=one"}));
}

TEST(PwdEntryList, LooksUpTheTextBeforeTheFirstEquals) {
    PwdEntryList list;
    list.Add("/home/ann/a.txt", Bytes("pass=word="));
    list.Add("/home/ann/x=y.txt", Bytes("secret"));
    list.Add(Bytes("/home/ann/no-password"));

    const auto found = list.Find("/HOME/ANN/A.TXT");
    ASSERT_TRUE(found);
    EXPECT_EQ(qvtest::Text(list.PasswordOf(*found)), "pass=word=");
    // The entry's key reads as "/home/ann/x", so the real path is never found.
    EXPECT_FALSE(list.Find("/home/ann/x=y.txt"));
    EXPECT_TRUE(list.Find("/home/ann/x"));
    // An entry without "=" holds no password.
    EXPECT_FALSE(list.Find("/home/ann/no-password"));
    EXPECT_FALSE(list.Find("/home/ann/a.tx"));
}

TEST(PwdEntryList, ReadsLinesEndingInCrLfCrOrLfUpToAZeroByte) {
    const char raw[] = "c=3\r\na=1\rb=2\n\r\n\nd=4\r\n\0e=5\r\n";
    const std::string text(raw, sizeof raw - 1);
    PwdEntryList list;
    list.AddLines(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    EXPECT_EQ(Contents(list), (std::vector<std::string>{"a=1", "b=2", "c=3", "d=4"}));

    SecureBytes image;
    list.AppendText(image);
    EXPECT_EQ(qvtest::Text(image), "a=1\r\nb=2\r\nc=3\r\nd=4\r\n");
}

TEST(PwdEntryList, AReadTextWithoutItsLastLineBreakKeepsTheLastEntry) {
    const std::string text = "a=1\r\nb=2";
    PwdEntryList list;
    list.AddLines(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    EXPECT_EQ(Contents(list), (std::vector<std::string>{"a=1", "b=2"}));
}
