#include "cvhost/sirvex_commands.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "cvhost/test_bytes.h"

namespace cvhost {
namespace {

using testing::Ascii;
using testing::Bytes;

TEST(BuildSirvexFecStartCommand, GivesOneCommandPerModeAndRefusesOthers) {
    EXPECT_EQ(BuildSirvexFecStartCommand(SirvexFecMode::S1), Ascii("#UNPROTO 1"));
    EXPECT_EQ(BuildSirvexFecStartCommand(SirvexFecMode::S2_S), Ascii("#UNPROTO 3"));
    EXPECT_EQ(BuildSirvexFecStartCommand(SirvexFecMode::S2_L), Ascii("#UNPROTO 7"));
    for (int bad : {3, -1}) {
        SCOPED_TRACE(bad);
        try {
            BuildSirvexFecStartCommand(static_cast<SirvexFecMode>(bad));
            ADD_FAILURE() << "no exception";
        } catch (const std::invalid_argument& e) {
            EXPECT_STREQ(e.what(), "unsupported SIRVEX FEC mode");
        }
    }
}

TEST(ExtractTerminalSirvexMycall, TakesTheCallSignInUpperCase) {
    struct Case {
        const char* command;
        const char* callSign;
    };
    const Case cases[] = {
        {"my ab1cd", "AB1CD"},      {"MYC AB1C*", "AB1C*"},         {"MYCALL  AB1CD ", "AB1CD"},
        {"\tMyCa\tdl-1\t", "DL-1"}, {"mycal 12345678", "12345678"}, {"MY ab", "AB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        Bytes callSign = Ascii("stale");
        EXPECT_TRUE(ExtractTerminalSirvexMycall(Ascii(c.command), callSign));
        EXPECT_EQ(callSign, Ascii(c.callSign));
    }
}

TEST(ExtractTerminalSirvexMycall, RefusesAnythingElseWithAnEmptyOutput) {
    const char* cases[] = {
        "",
        "M AB1CD",         // command word too short
        "MYCALLX AB1CD",   // too long
        "MX AB1CD",        // not a prefix of MYCALL
        "MY",              // first word ends the text
        "MY   ",           // no call sign
        "MY AB1CD EXTRA",  // two words
        "MY AB1CDEFGH",    // 9 bytes
        "MY A",            // 1 byte
        "MY AB/1CD",       // slash
        "MY AB1CD\r",      // CR belongs to the word
        "MYCALL AB1_CD",
    };
    for (const char* command : cases) {
        SCOPED_TRACE(command);
        Bytes callSign = Ascii("stale");
        EXPECT_FALSE(ExtractTerminalSirvexMycall(Ascii(command), callSign));
        EXPECT_TRUE(callSign.empty());
    }
}

}  // namespace
}  // namespace cvhost
