#include <gtest/gtest.h>

#include <string>

#include "text/conversions.h"

namespace corvina {
namespace {

constexpr char16_t kFffd = 0xFFFD;

std::string Raw(std::initializer_list<int> bytes) {
    std::string out;
    for (int b : bytes) {
        out.push_back(static_cast<char>(b));
    }
    return out;
}

TEST(Utf8ToWideTest, DecodesWellFormedSequencesAtEncodingBoundaries) {
    struct Case {
        const char* name;
        std::string utf8;
        std::u16string expected;
    };
    const Case cases[] = {
        {"empty", "", u""},
        {"embedded nul", Raw({'a', 0x00, 'b'}), std::u16string{u'a', 0, u'b'}},
        {"last one-byte", Raw({0x7F}), u"\u007F"},
        {"first two-byte", Raw({0xC2, 0x80}), u"\u0080"},
        {"last two-byte", Raw({0xDF, 0xBF}), u"\u07FF"},
        {"first three-byte", Raw({0xE0, 0xA0, 0x80}), u"\u0800"},
        {"euro sign", Raw({0xE2, 0x82, 0xAC}), u"\u20AC"},
        {"last before surrogates", Raw({0xED, 0x9F, 0xBF}), u"\uD7FF"},
        {"first after surrogates", Raw({0xEE, 0x80, 0x80}), u"\uE000"},
        {"replacement character itself", Raw({0xEF, 0xBF, 0xBD}), u"\uFFFD"},
        {"last three-byte", Raw({0xEF, 0xBF, 0xBF}), u"\uFFFF"},
        {"first supplementary", Raw({0xF0, 0x90, 0x80, 0x80}), u"\U00010000"},
        {"emoji", Raw({0xF0, 0x9F, 0x98, 0x80}), u"\U0001F600"},
        {"last code point", Raw({0xF4, 0x8F, 0xBF, 0xBF}), u"\U0010FFFF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Utf8ToWide(c.utf8), c.expected);
        EXPECT_EQ(WideToUtf8(c.expected), c.utf8);
    }
}

TEST(Utf8ToWideTest, ReplacesEachMaximalIllFormedSubsequenceOnce) {
    const std::u16string r(1, kFffd);
    struct Case {
        const char* name;
        std::string utf8;
        std::u16string expected;
    };
    const Case cases[] = {
        // The worked example of the recommended practice.
        {"mixed truncations",
         Raw({0x61, 0xF1, 0x80, 0x80, 0xE1, 0x80, 0xC2, 0x62, 0x80, 0x63, 0x80, 0xBF, 0x64}),
         u"a" + r + r + r + u"b" + r + u"c" + r + r + u"d"},
        {"lone continuation", Raw({0x80}), r},
        {"overlong two-byte", Raw({0xC0, 0xAF}), r + r},
        {"overlong C1 lead", Raw({0xC1, 0xBF}), r + r},
        {"overlong three-byte", Raw({0xE0, 0x80, 0xAF}), r + r + r},
        {"overlong just below U+0800", Raw({0xE0, 0x9F, 0xBF}), r + r + r},
        {"overlong four-byte", Raw({0xF0, 0x8F, 0xBF, 0xBF}), r + r + r + r},
        {"encoded high surrogate", Raw({0xED, 0xA0, 0x80}), r + r + r},
        {"encoded low surrogate", Raw({0xED, 0xBF, 0xBF}), r + r + r},
        {"above U+10FFFF", Raw({0xF4, 0x90, 0x80, 0x80}), r + r + r + r},
        {"F5 lead", Raw({0xF5, 0x80, 0x80, 0x80}), r + r + r + r},
        {"FF byte", Raw({'x', 0xFF, 'y'}), u"x" + r + u"y"},
        {"truncated at end", Raw({'a', 0xF0, 0x9F, 0x98}), u"a" + r},
        {"truncated before ASCII", Raw({0xE2, 0x82, 'A'}), r + u"A"},
        {"truncated before new lead", Raw({0xE2, 0xC3, 0xA9}), r + u"\u00E9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Utf8ToWide(c.utf8), c.expected);
    }
}

TEST(WideToUtf8Test, UnpairedSurrogatesBecomeReplacementCharacters) {
    const std::string r = Raw({0xEF, 0xBF, 0xBD});
    struct Case {
        const char* name;
        std::u16string wide;
        std::string expected;
    };
    const Case cases[] = {
        {"high at end", std::u16string{u'a', 0xD83D}, "a" + r},
        {"high before letter", std::u16string{0xD83D, u'a'}, r + "a"},
        {"lone low", std::u16string{0xDE00}, r},
        {"low before high", std::u16string{0xDE00, 0xD83D}, r + r},
        {"high, then a valid pair", std::u16string{0xD83D, 0xD83D, 0xDE00},
         r + Raw({0xF0, 0x9F, 0x98, 0x80})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WideToUtf8(c.wide), c.expected);
    }
}

}  // namespace
}  // namespace corvina
