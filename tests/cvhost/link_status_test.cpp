#include "cvhost/link_status.h"

#include <gtest/gtest.h>

#include <string>

#include "cvhost/test_bytes.h"

namespace cvhost {
namespace {

using testing::Ascii;
using testing::Bytes;

TEST(ParseLinkStatus, AcceptsSixNumbersWithBlanksAndTrailingLineEnds) {
    struct Case {
        const char* name;
        Bytes text;
        std::array<std::uint32_t, 6> values;
    };
    const Case cases[] = {
        {"plain", Ascii("0 0 3 0 0 0"), {0, 0, 3, 0, 0, 0}},
        {"leading and trailing blanks", Ascii("  0 0 3 0 0 0  "), {0, 0, 3, 0, 0, 0}},
        {"CR LF after the last", Ascii("0 0 3 0 0 0\r\n"), {0, 0, 3, 0, 0, 0}},
        {"tabs and runs of blanks", Ascii("\t1 \t 22\t\t333 4 5 6"), {1, 22, 333, 4, 5, 6}},
        {"NUL terminator",
         Bytes{'1', ' ', '2', ' ', '3', ' ', '4', ' ', '5', ' ', '6', 0},
         {1, 2, 3, 4, 5, 6}},
        {"largest value",
         Ascii("4294967295 0 7 0 0 4294967295"),
         {4294967295u, 0, 7, 0, 0, 4294967295u}},
        {"leading zeros", Ascii("0000000000000000000001 0 8 0 0 0"), {1, 0, 8, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LinkStatus status;
        ASSERT_TRUE(ParseLinkStatus(c.text, status));
        EXPECT_EQ(status.values, c.values);
    }
    LinkStatus status;
    ASSERT_TRUE(ParseLinkStatus(Ascii("0 0 3 0 0 0"), status));
    EXPECT_EQ(status.PendingFrames(), 3u);
}

TEST(ParseLinkStatus, RefusesMalformedAnswersAndLeavesTheStatusUntouched) {
    const char* cases[] = {
        "",
        "   ",
        "0 0 3 0 0",
        "0 0 3 0 0 ",
        "0,0,3,0,0,0",
        "0 0 3 0 0 0x",
        "0 0 3\r\n0 0 0",
        "0 0 3 0 0 4294967296",
        "99999999999999999999 0 3 0 0 0",
        "0 0 -3 0 0 0",
        "0 0 3 0 0 0 7",
    };
    for (const char* text : cases) {
        SCOPED_TRACE(std::string("\"") + text + "\"");
        LinkStatus status;
        status.values = {9, 9, 9, 9, 9, 9};
        EXPECT_FALSE(ParseLinkStatus(Ascii(text), status));
        EXPECT_EQ(status.values, (std::array<std::uint32_t, 6>{9, 9, 9, 9, 9, 9}));
    }
}

}  // namespace
}  // namespace cvhost
