// What the program reads out of the modem's answers and the operator's commands.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "cvhost/link_status.h"
#include "cvhost/sirvex_commands.h"
#include "cvhost/status_predicates.h"
#include "support/hostmode_wire.h"

namespace cvhost {
namespace {

using corvina::testing::Bytes;
using corvina::testing::ToBytes;
using Six = std::array<std::uint32_t, 6>;

TEST(ParseLinkStatus, SixNumbersWithBlanksAndTrailingLineEndsOnly) {
    struct Case {
        Bytes text;
        bool ok;
        Six values;
    } cases[] = {
        {ToBytes("0 0 3 0 0 0"), true, {0, 0, 3, 0, 0, 0}},
        {ToBytes("  0 0 3 0 0 0 \r\n"), true, {0, 0, 3, 0, 0, 0}},
        {ToBytes("\t1 \t 22\t\t333 4 5 6"), true, {1, 22, 333, 4, 5, 6}},
        {Bytes{'1', ' ', '2', ' ', '3', ' ', '4', ' ', '5', ' ', '6', 0}, true, {1, 2, 3, 4, 5, 6}},
        {ToBytes("4294967295 0 7 0 0 4294967295"), true, {4294967295u, 0, 7, 0, 0, 4294967295u}},
        {ToBytes("0000000000000000000001 0 8 0 0 0"), true, {1, 0, 8, 0, 0, 0}},
        {ToBytes(""), false, {}},
        {ToBytes("   "), false, {}},
        {ToBytes("0 0 3 0 0 "), false, {}},
        {ToBytes("0,0,3,0,0,0"), false, {}},
        {ToBytes("0 0 3 0 0 0x"), false, {}},
        {ToBytes("0 0 3\r\n0 0 0"), false, {}},
        {ToBytes("0 0 3 0 0 4294967296"), false, {}},
        {ToBytes("99999999999999999999 0 3 0 0 0"), false, {}},
        {ToBytes("0 0 -3 0 0 0"), false, {}},
        {ToBytes("0 0 3 0 0 0 7"), false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("\"" + corvina::testing::ToString(c.text) + "\"");
        LinkStatus status;
        status.values = {9, 9, 9, 9, 9, 9};
        EXPECT_EQ(ParseLinkStatus(c.text, status), c.ok);
        EXPECT_EQ(status.values, (c.ok ? c.values : Six{9, 9, 9, 9, 9, 9}));
    }
    LinkStatus status;
    ASSERT_TRUE(ParseLinkStatus(ToBytes("0 0 3 0 0 0"), status));
    EXPECT_EQ(status.PendingFrames(), 3u);
}

TEST(StatusPredicates, ArqAndFecTransmitStates) {
    struct Case {
        std::uint8_t b0, b1;
        bool arq, s1s2, ktm2;
    } cases[] = {
        {0x23, 0, true, false, false},  {0x20, 0, true, false, false},
        {0x26, 0, true, false, false},  {0xA3, 0, true, false, false},  // bit 7 is not looked at
        {0x27, 0, false, false, false}, {0x43, 1, false, false, false},
        {0x33, 0, false, false, false}, {0x03, 0, false, false, false},
        {0x4B, 1, false, true, true},   {0x4B, 2, false, true, true},
        {0x4B, 0, false, false, true},  {0x4B, 3, false, false, true},
        {0x4F, 1, false, false, true},  {0x48, 2, false, true, true},
        {0x5B, 1, false, false, false}, {0x23, 1, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.b0) + "/" + std::to_string(c.b1));
        EXPECT_EQ(IsArqActiveStatus(c.b0), c.arq);
        EXPECT_EQ(IsS1S2FecTransmitStatus(c.b0, c.b1), c.s1s2);
        EXPECT_EQ(IsKtm2FecTransmitStatus(c.b0), c.ktm2);
    }
}

TEST(BuildSirvexFecStartCommand, OneCommandPerModeAndRefusesOthers) {
    EXPECT_EQ(BuildSirvexFecStartCommand(SirvexFecMode::S1), ToBytes("#UNPROTO 1"));
    EXPECT_EQ(BuildSirvexFecStartCommand(SirvexFecMode::S2_S), ToBytes("#UNPROTO 3"));
    EXPECT_EQ(BuildSirvexFecStartCommand(SirvexFecMode::S2_L), ToBytes("#UNPROTO 7"));
    for (int bad : {3, -1}) {
        try {
            BuildSirvexFecStartCommand(static_cast<SirvexFecMode>(bad));
            ADD_FAILURE() << bad << " accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_STREQ(e.what(), "unsupported SIRVEX FEC mode");
        }
    }
}

TEST(ExtractTerminalSirvexMycall, TakesOneValidCallInUpperCaseOrNothing) {
    struct Case {
        const char* command;
        const char* callSign;  // empty: refused
    } cases[] = {
        {"my ab1cd", "AB1CD"},
        {"MYC AB1C*", "AB1C*"},
        {"MYCALL  AB1CD ", "AB1CD"},
        {"\tMyCa\tdl-1\t", "DL-1"},
        {"mycal 12345678", "12345678"},
        {"MY ab", "AB"},
        {"", ""},
        {"M AB1CD", ""},        // command word too short
        {"MYCALLX AB1CD", ""},  // too long
        {"MX AB1CD", ""},       // not a prefix of MYCALL
        {"MY", ""},
        {"MY   ", ""},
        {"MY AB1CD EXTRA", ""},
        {"MY AB1CDEFGH", ""},  // 9 bytes
        {"MY A", ""},
        {"MY AB/1CD", ""},
        {"MY AB1CD\r", ""},  // CR belongs to the word
        {"MYCALL AB1_CD", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        Bytes callSign = ToBytes("stale");
        EXPECT_EQ(ExtractTerminalSirvexMycall(ToBytes(c.command), callSign), *c.callSign != '\0');
        EXPECT_EQ(callSign, ToBytes(c.callSign));
    }
}

}  // namespace
}  // namespace cvhost
