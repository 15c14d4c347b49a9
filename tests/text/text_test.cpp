#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

#include "text/conversions.h"
#include "text/windows1252.h"

namespace corvina {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes B(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// The 27 characters the code page assigns in 0x80..0x9F, from its published chart.
constexpr std::pair<std::uint8_t, char16_t> kAssignedHighControls[] = {
    {0x80, 0x20AC}, {0x82, 0x201A}, {0x83, 0x0192}, {0x84, 0x201E}, {0x85, 0x2026}, {0x86, 0x2020},
    {0x87, 0x2021}, {0x88, 0x02C6}, {0x89, 0x2030}, {0x8A, 0x0160}, {0x8B, 0x2039}, {0x8C, 0x0152},
    {0x8E, 0x017D}, {0x91, 0x2018}, {0x92, 0x2019}, {0x93, 0x201C}, {0x94, 0x201D}, {0x95, 0x2022},
    {0x96, 0x2013}, {0x97, 0x2014}, {0x98, 0x02DC}, {0x99, 0x2122}, {0x9A, 0x0161}, {0x9B, 0x203A},
    {0x9C, 0x0153}, {0x9E, 0x017E}, {0x9F, 0x0178},
};

// Every byte is one character and goes back to the modem unchanged, except that
// a line feed is a line end and goes out as CR.
TEST(Windows1252Test, PublishedCharactersBothWaysAndEveryByteBackToTheModem) {
    for (const auto& [byte, unit] : kAssignedHighControls) {
        SCOPED_TRACE(int{byte});
        EXPECT_EQ(Windows1252ToUnicode(byte), unit);
        EXPECT_EQ(UnicodeToWindows1252(unit), byte);
    }
    Bytes all(256);
    std::iota(all.begin(), all.end(), 0);
    const std::u16string wide = BytesToWide(all);
    ASSERT_EQ(wide.size(), all.size());
    EXPECT_EQ(wide[0x80], u'\u20AC');
    Bytes expected = all;
    expected['\n'] = '\r';
    EXPECT_EQ(WideToModemBytes(wide), expected);
}

TEST(WideToModemBytesTest, LineEndsBecomeCrAndCharactersWithoutAByteOneQuestionMark) {
    struct Case {
        std::u16string text;
        Bytes expected;
    } cases[] = {
        {u"a\r\nb\nc\r", B("a\rb\rc\r")},
        {u"\n\r", B("\r\r")},                         // LF CR is two line ends
        {u"\u00FC\u20AC\u0081", {0xFC, 0x80, 0x81}},  // 0x81 is unassigned but kept
        {u"\u4E00", B("?")},
        {u"\u0080", B("?")},  // its byte is the euro sign's
        {u"a\U0001F600b", B("a?b")},
        {std::u16string{0xDE00, 0xD83D}, B("??")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(WideToUtf8(c.text));
        EXPECT_EQ(WideToModemBytes(c.text), c.expected);
    }
}

// Well-formed text at the encoding boundaries goes both ways unchanged; each
// ill-formed piece becomes one U+FFFD.
TEST(Utf8Test, WellFormedRoundTripsAndEachIllFormedPieceIsReplacedOnce) {
    const std::u16string r(1, 0xFFFD);
    const std::u16string r2 = r + r, r3 = r2 + r, r4 = r3 + r;
    struct Case {
        std::string utf8;
        std::u16string wide;
        bool wellFormed = false;
    } cases[] = {
        {"", u"", true},
        {std::string("a\0b", 3), std::u16string{u'a', 0, u'b'}, true},
        {"\xC2\x80", u"\u0080", true},
        {"\xE0\xA0\x80", u"\u0800", true},
        {"\xF0\x90\x80\x80", u"\U00010000", true},
        {"\xF4\x8F\xBF\xBF", u"\U0010FFFF", true},
        // The worked example of the recommended practice.
        {"\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
         u"a" + r3 + u"b" + r + u"c" + r2 + u"d"},
        {"\xC0\xAF", r2},             // overlong
        {"\xED\xA0\x80", r3},         // encoded surrogate
        {"\xF4\x90\x80\x80", r4},     // above U+10FFFF
        {"a\xF0\x9F\x98", u"a" + r},  // truncated at the end
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.utf8));
        EXPECT_EQ(Utf8ToWide(c.utf8), c.wide);
        if (c.wellFormed) {
            EXPECT_EQ(WideToUtf8(c.wide), c.utf8);
        }
    }
    // Unpaired surrogates on the way out.
    const std::string r8 = "\xEF\xBF\xBD";
    EXPECT_EQ(WideToUtf8(std::u16string{u'a', 0xD83D}), "a" + r8);
    EXPECT_EQ(WideToUtf8(std::u16string{0xD83D, 0xD83D, 0xDE00}), r8 + "\xF0\x9F\x98\x80");
}

}  // namespace
}  // namespace corvina
