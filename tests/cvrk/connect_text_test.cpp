#include "cvrk/connect_text.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

namespace cvrk {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes B(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

struct TextCase {
    const char* name;
    std::string input;
    std::string expected;
};

TEST(ExtractConnectTargetTest, FindsTheCalledStationOfAConnectCommand) {
    const TextCase cases[] = {
        {"lower-case command, blanks, further words", "c   mycall via relay", "MYCALL"},
        {"exclamation prefix", "C !MYCALL", "MYCALL"},
        {"percent prefix and CR", "C %mycall\r", "MYCALL"},
        {"semicolon prefix and LF", "C ;ab\nmore", "AB"},
        {"blanks before the prefix", "C   !n0-call", "N0-CALL"},
        {"longest call", "C abcdefgh", "ABCDEFGH"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ExtractConnectTarget(B(c.input)), c.expected);
    }
}

TEST(ExtractConnectTargetTest, IgnoresTextThatIsNotAConnectCommandWithAValidCall) {
    const TextCase cases[] = {
        {"empty", "", ""},
        {"too short", "C ", ""},
        {"second byte not a blank", "CONNECT MYCALL", ""},
        {"tab instead of blank", "C\tMYCALL", ""},
        {"other command", "D MYCALL", ""},
        {"high-bit C", "\xE3 MYCALL", ""},
        {"only blanks", "C    ", ""},
        {"prefix only", "C !", ""},
        {"blank after prefix", "C ! MYCALL", ""},
        {"two prefixes", "C !!MYCALL", ""},
        {"call too long", "C ABCDEFGHI", ""},
        {"call too short", "C A", ""},
        {"path glued to the call", "C MYCALL/2", ""},
        {"non-ASCII in the call", "C MY\xC4L", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ExtractConnectTarget(B(c.input)), c.expected);
    }
}

TEST(ExtractConnectedPeerTest, ReadsThePeerAfterTheFirstConnectReport) {
    const TextCase cases[] = {
        {"modem line", "*** CONNECTED to mycall\r", "MYCALL"},
        {"words after the call", "CONNECTED to N0-CALL [2300 Hz]", "N0-CALL"},
        {"high byte ends the call", "CONNECTED to AB\xE9", "AB"},
        {"call at the very end", "CONNECTED to ABCDEFGH", "ABCDEFGH"},
        {"upper-case TO", "*** CONNECTED TO MYCALL\r", ""},
        {"nine characters", "CONNECTED to ABCDEFGHI\r", ""},
        {"one character", "CONNECTED to A\r", ""},
        {"nothing after the marker", "CONNECTED to ", ""},
        {"marker without its blank", "CONNECTED to", ""},
        {"only the first report counts", "CONNECTED to X CONNECTED to MYCALL", ""},
        {"high byte first", "CONNECTED to \xC4MYCALL", ""},
        {"no report", "DISCONNECTED", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ExtractConnectedPeer(B(c.input)), c.expected);
    }
}

TEST(BuildRobustConnectCommandTest, PrefixesTheUpperCasedCallWithoutLineEnd) {
    EXPECT_EQ(BuildRobustConnectCommand("mycall"), B("C %MYCALL"));
    EXPECT_TRUE(BuildRobustConnectCommand("").empty());
    EXPECT_TRUE(BuildRobustConnectCommand("my call").empty());
    EXPECT_TRUE(BuildRobustConnectCommand("abcdefghi").empty());
}

// The worker queues the built command, and the command line recognises the
// typed one; both must agree on which station is called.
TEST(BuildRobustConnectCommandTest, BuiltCommandIsRecognisedAsCallingThatStation) {
    for (const char* call : {"mycall", "N0-CALL", "ab", "abcdefgh"}) {
        SCOPED_TRACE(call);
        std::string expected = call;
        for (char& ch : expected) {
            ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        }
        EXPECT_EQ(ExtractConnectTarget(BuildRobustConnectCommand(call)), expected);
    }
}

TEST(BuildChangeoverPromptTest, NamesBothStationsOrNothing) {
    EXPECT_EQ(BuildChangeoverPrompt("mycall", "nocall"), B("MYCALL de NOCALL>\r\n"));
    // A MY command may give our own call a star; a peer's call never has one.
    EXPECT_EQ(BuildChangeoverPrompt("mycall", "ab1c*"), B("MYCALL de AB1C*>\r\n"));
    EXPECT_TRUE(BuildChangeoverPrompt("ab1c*", "nocall").empty());
    EXPECT_TRUE(BuildChangeoverPrompt("mycall", "no/call").empty());
    EXPECT_TRUE(BuildChangeoverPrompt("mycall", "").empty());
    EXPECT_TRUE(BuildChangeoverPrompt("", "nocall").empty());
    EXPECT_TRUE(BuildChangeoverPrompt("my/call", "nocall").empty());
    EXPECT_TRUE(BuildChangeoverPrompt("mycall", "nocall-too-long").empty());
}

}  // namespace
}  // namespace cvrk
