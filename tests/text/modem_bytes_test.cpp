#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "text/conversions.h"

namespace corvina {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes B(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

TEST(WideToModemBytesTest, LineEndsBecomeSingleCarriageReturns) {
    struct Case {
        const char* name;
        std::u16string text;
        Bytes expected;
    };
    const Case cases[] = {
        {"mixed", u"a\r\nb\nc\r", B("a\rb\rc\r")},
        {"empty", u"", {}},
        {"lone CR kept", u"\r", B("\r")},
        {"LF CR is two ends", u"\n\r", B("\r\r")},
        {"CR CR LF", u"x\r\r\ny", B("x\r\ry")},
        {"LF LF", u"\n\n", B("\r\r")},
        {"CR LF at the end", u"end\r\n", B("end\r")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WideToModemBytes(c.text), c.expected);
    }
}

TEST(WideToModemBytesTest, CharactersOutsideCodePageBecomeOneQuestionMarkEach) {
    struct Case {
        const char* name;
        std::u16string text;
        Bytes expected;
    };
    const Case cases[] = {
        {"latin small u with diaeresis", u"\u00FC", {0xFC}},
        {"euro sign", u"\u20AC", {0x80}},
        {"CJK ideograph", u"\u4E00", B("?")},
        {"no best fit for A with macron", u"\u0100", B("?")},
        {"C1 control taken by the euro sign", u"\u0080", B("?")},
        {"unassigned byte value", u"\u0081", {0x81}},
        {"surrogate pair is one character", u"a\U0001F600b", B("a?b")},
        {"unpaired high surrogate", std::u16string{u'a', 0xD83D, u'b'}, B("a?b")},
        {"unpaired low surrogate", std::u16string{0xDE00, 0xD83D}, B("??")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WideToModemBytes(c.text), c.expected);
    }
}

}  // namespace
}  // namespace corvina
