#include "cvrk/call_sign.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace cvrk {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(NormalizeCallTest, AcceptsAndUpperCasesValidCallsOnly) {
    struct Case {
        std::string call;
        bool valid;
        std::string after;
    };
    const Case cases[] = {
        {"nocall", true, "NOCALL"},
        {"ab", true, "AB"},
        {"abcdefgh", true, "ABCDEFGH"},
        {"w1-aw0z9", true, "W1-AW0Z9"},
        {"--", true, "--"},
        // Lengths are checked before anything is touched.
        {"", false, ""},
        {"a", false, "a"},
        {"abcdefghi", false, "abcdefghi"},
        // The walk stops at the first bad character; letters before it are converted.
        {"no1/p", false, "NO1/p"},
        {"ab cd", false, "AB cd"},
        {"ab_c", false, "AB_c"},
        // Neighbours of the accepted ASCII ranges.
        {"@a", false, "@a"},
        {"[a", false, "[a"},
        {"`a", false, "`a"},
        {"{a", false, "{a"},
        {"/a", false, "/a"},
        {":a", false, ":a"},
        {"a\xE9", false, "A\xE9"},
        {std::string("a\0b", 3), false, std::string("A\0b", 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("call \"" + c.call + "\"");
        std::string call = c.call;
        EXPECT_EQ(NormalizeCall(call), c.valid);
        EXPECT_EQ(call, c.after);
    }
}

std::vector<std::string> Parse(const std::string& text) {
    return ParseCallList(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

TEST(ParseCallListTest, KeepsFirstAppearanceOfEachCompleteValidLine) {
    EXPECT_THAT(Parse("NOCALL\r\nMYCALL\nNOCALL\nDL1ABC"), ElementsAre("NOCALL", "MYCALL"));
    EXPECT_THAT(Parse("mycall\nMyCall\nMYCALL\n"), ElementsAre("MYCALL"));
    EXPECT_THAT(Parse("\n\nab\n"), ElementsAre("AB"));
}

TEST(ParseCallListTest, SkipsLinesThatAreNotExactlyOneCall) {
    struct Case {
        const char* name;
        std::string text;
    };
    const Case cases[] = {
        {"unterminated only", "MYCALL"},
        {"leading blank", " MYCALL\n"},
        {"trailing blank", "MYCALL \n"},
        {"two CRs", "MYCALL\r\r\n"},
        {"CR alone ends no line", "MYCALL\rNOCALL\r"},
        {"too long", "ABCDEFGHI\n"},
        {"too short", "A\n"},
        {"embedded nul", std::string("MY\0CALL\n", 8)},
        {"empty lines", "\n\r\n\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_THAT(Parse(c.text), IsEmpty());
    }
}

TEST(ParseCallListTest, NullOrEmptyInputGivesEmptyList) {
    EXPECT_THAT(ParseCallList(nullptr, 0), IsEmpty());
    EXPECT_THAT(ParseCallList(nullptr, 10), IsEmpty());
    const std::uint8_t data[] = {'A', 'B', '\n'};
    EXPECT_THAT(ParseCallList(data, 0), IsEmpty());
    EXPECT_THAT(ParseCallList(data, 3), ElementsAre("AB"));
}

}  // namespace
}  // namespace cvrk
