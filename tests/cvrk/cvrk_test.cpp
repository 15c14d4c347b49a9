#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "cvrk/call_sign.h"
#include "cvrk/connect_text.h"

namespace cvrk {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Calls = std::vector<std::string>;

Bytes B(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

TEST(NormalizeCallTest, AcceptsAndUpperCasesValidCallsOnly) {
    struct Case {
        std::string call;
        bool valid;
        std::string after;
    } cases[] = {
        {"w1-aw0z9", true, "W1-AW0Z9"},
        {"ab", true, "AB"},
        // Lengths are checked before anything is touched.
        {"a", false, "a"},
        {"abcdefghi", false, "abcdefghi"},
        // The walk stops at the first bad character; letters before it are converted.
        {"no1/p", false, "NO1/p"},
        // Neighbours of the accepted ASCII ranges.
        {"@a", false, "@a"},
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

TEST(ParseCallListTest, KeepsTheFirstAppearanceOfEachCompleteLineHoldingOneCall) {
    struct Case {
        std::string text;
        Calls calls;
    } cases[] = {
        {"NOCALL\r\nMYCALL\nNOCALL\nDL1ABC", {"NOCALL", "MYCALL"}},  // the last is unterminated
        {" MYCALL\nMYCALL \nMYCALL\r\r\n", {}},
        {"MYCALL\rNOCALL\r", {}},  // CR alone ends no line
        {"ABCDEFGHI\nA\n", {}},
        {std::string("MY\0CALL\n", 8), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(
            ParseCallList(reinterpret_cast<const std::uint8_t*>(c.text.data()), c.text.size()),
            c.calls);
    }
    EXPECT_EQ(ParseCallList(nullptr, 10), Calls{});
}

// Connect commands the operator types, and the modem's reports of a link.
TEST(ConnectTextTest, FindsTheCalledStationAndTheConnectedPeerOnly) {
    constexpr auto kTarget = &ExtractConnectTarget;
    constexpr auto kPeer = &ExtractConnectedPeer;
    const struct {
        decltype(kTarget) extract;
        std::string input;
        std::string expected;
    } cases[] = {
        {kTarget, "c   mycall via relay", "MYCALL"},
        {kTarget, "C   !n0-call", "N0-CALL"},
        {kTarget, "", ""},
        {kTarget, "CONNECT MYCALL", ""},
        {kTarget, "C ! MYCALL", ""},
        {kTarget, "C ABCDEFGHI", ""},
        {kTarget, "C MYCALL/2", ""},
        {kTarget, "C MY\xC4L", ""},
        {kPeer, "*** CONNECTED to mycall\r", "MYCALL"},
        {kPeer, "CONNECTED to N0-CALL [2300 Hz]", "N0-CALL"},
        {kPeer, "CONNECTED to AB\xE9", "AB"},
        {kPeer, "*** CONNECTED TO MYCALL\r", ""},
        {kPeer, "CONNECTED to ABCDEFGHI\r", ""},
        {kPeer, "CONNECTED to X CONNECTED to MYCALL", ""},  // only the first report counts
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(c.extract(B(c.input)), c.expected);
    }
}

TEST(BuildCommandTest, ConnectCommandAndChangeoverPromptCarryUpperCasedValidCallsOnly) {
    EXPECT_EQ(BuildRobustConnectCommand("mycall"), B("C %MYCALL"));
    for (const char* invalid : {"", "my call", "abcdefghi"}) {
        EXPECT_TRUE(BuildRobustConnectCommand(invalid).empty()) << invalid;
    }
    // The connect-text fuzzer checks that every target reads back from its command.

    EXPECT_EQ(BuildChangeoverPrompt("mycall", "nocall"), B("MYCALL de NOCALL>\r\n"));
    // A MY command may give our own call a star; a peer's call never has one.
    EXPECT_EQ(BuildChangeoverPrompt("mycall", "ab1c*"), B("MYCALL de AB1C*>\r\n"));
    for (const auto& [own, peer] : {std::pair{"ab1c*", "nocall"},
                                    {"mycall", "no/call"},
                                    {"", "nocall"},
                                    {"mycall", "nocall-too-long"}}) {
        EXPECT_TRUE(BuildChangeoverPrompt(own, peer).empty()) << own << " " << peer;
    }
}

}  // namespace
}  // namespace cvrk
