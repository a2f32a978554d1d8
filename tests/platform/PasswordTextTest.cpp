#include "PasswordText.h"

#include <gtest/gtest.h>

#include <string>

using namespace qv;

TEST(PasswordText, TypedTextBecomesItsUtf8Bytes) {
    struct Case {
        std::u16string typed;
        std::string bytes;
    };
    const Case cases[] = {
        {u"", ""},
        {u"Secret", "Secret"},
        {u"caf\u00E9", "caf\xC3\xA9"},                 // two bytes for é
        {u"\u5BC6\u78BC", "\xE5\xAF\x86\xE7\xA2\xBC"}, // 密碼: three bytes each
        {u"\U0001F511", "\xF0\x9F\x94\x91"},           // a surrogate pair: four bytes
        {std::u16string(1, char16_t(0xD800)) + u"a", "\xEF\xBF\xBD"
                                                     "a"},             // lone high
        {u"a" + std::u16string(1, char16_t(0xDC00)), "a\xEF\xBF\xBD"}, // lone low
    };
    for (const auto& c : cases) {
        const SecureBytes bytes = PasswordBytes(c.typed);
        EXPECT_EQ(std::string(bytes.begin(), bytes.end()), c.bytes);
    }
}
