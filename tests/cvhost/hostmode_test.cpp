#include <gtest/gtest.h>

#include <numeric>
#include <sstream>
#include <stdexcept>
#include <string>

#include "cvhost/crc16.h"
#include "cvhost/link_status.h"
#include "cvhost/request.h"
#include "cvhost/response_parser.h"
#include "cvhost/sirvex_commands.h"
#include "cvhost/status_predicates.h"
#include "support/hostmode_wire.h"

namespace cvhost {
namespace {

using corvina::testing::Bytes;
using corvina::testing::Join;
using corvina::testing::ResponseFrame;
using corvina::testing::ToBytes;
using corvina::testing::ToString;
using Kind = ParseEvent::Kind;

// "AA AA 04 00" -> {0xAA, 0xAA, 0x04, 0x00}.
Bytes Hex(const std::string& text) {
    Bytes out;
    std::istringstream in(text);
    for (unsigned value = 0; in >> std::hex >> value;) {
        out.push_back(static_cast<std::uint8_t>(value));
    }
    return out;
}

ParseEvent FrameEvent(std::uint8_t channel, std::uint8_t code, Bytes payload) {
    return ParseEvent{Kind::Frame, Frame{channel, code, std::move(payload)}};
}

TEST(Crc16X25, PublishedCheckValueAndEmptyInput) {
    const Bytes check = ToBytes("123456789");
    EXPECT_EQ(Crc16X25(check.data(), check.size()), 0x906E);
    EXPECT_EQ(Crc16X25(nullptr, 0), 0);
    EXPECT_THROW(Crc16X25(nullptr, 1), std::invalid_argument);
}

TEST(BuildRequest, KnownWireBytesAndPayloadLimits) {
    struct Case {
        std::uint8_t channel;
        bool command, sequenceBit, sequenceStart;
        Bytes payload;
        const char* wire;
    } cases[] = {
        {255, true, false, false, ToBytes("G"), "AA AA FF 01 00 47 6B 55"},
        {255, true, false, true, ToBytes("G"), "AA AA FF 41 00 47 1D 53"},
        {254, true, true, false, ToBytes("G 3"), "AA AA FE 81 02 47 20 33 B1 1C"},
        {4, false, false, false, {0xAA}, "AA AA 04 00 00 AA 00 62 84"},  // stuffed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wire);
        EXPECT_EQ(BuildRequest(c.channel, c.command, c.sequenceBit, c.sequenceStart,
                               c.payload.data(), c.payload.size()),
                  Hex(c.wire));
    }
    const Bytes full(257, 0x41);
    EXPECT_EQ(BuildRequest(1, false, false, false, full.data(), 256)[4], 0xFF);
    EXPECT_THROW(BuildRequest(1, true, false, false, full.data(), 0), std::invalid_argument);
    try {
        BuildRequest(1, true, false, false, full.data(), 257);
        ADD_FAILURE() << "257 bytes accepted";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "CRC Hostmode payload must contain 1..256 bytes");
    }
}

// Each wire is followed by garbage and a good frame: the garbage goes without
// an event and the parser recovers for the frame whatever came before.
TEST(ResponseParser, DecodesResponsesAndRecoversAfterFaults) {
    const Bytes ok = Hex("AA AA 04 01 4F 4B 00 A3 10");
    Bytes data256(256);
    std::iota(data256.begin(), data256.end(), 0);
    const Bytes text257(257, 'T');
    struct Case {
        const char* name;
        Bytes wire;
        std::vector<ParseEvent> expected;
    } cases[] = {
        {"code 0", Hex("AA AA 04 00 27 68"), {FrameEvent(4, 0, {})}},
        {"code 6, one zero byte", ResponseFrame(4, 6, Bytes{0}), {FrameEvent(4, 6, {0})}},
        {"code 7 with stuffed AA",
         Hex("AA AA 04 07 02 41 AA 00 43 33 90"),
         {FrameEvent(4, 7, Hex("41 AA 43"))}},
        {"echoed request", Hex("AA AA FF 01 00 47 6B 55"), {{Kind::CrcError, {}}}},
        {"corrupted CRC", Hex("AA AA 04 01 4F 4B 00 A3 11"), {{Kind::CrcError, {}}}},
        {"marker", Hex("AA AA AA 55"), {{Kind::Marker, {}}}},
        {"escape 55 inside a body", Hex("AA AA 05 AA 55"), {{Kind::FormatError, {}}}},
        {"code above 8", Hex("AA AA 05 09"), {{Kind::FormatError, {}}}},
        {"AA AA inside a body restarts it",
         Join({Hex("AA AA 04 01 4F 4B"), ok}),
         {FrameEvent(4, 1, ToBytes("OK"))}},
        // The channel byte 0x00 must not be read as the end of the text before.
        {"channel 0 after a text",
         Join({ok, ResponseFrame(0, 7, "AB")}),
         {FrameEvent(4, 1, ToBytes("OK")), FrameEvent(0, 7, ToBytes("AB"))}},
        {"longest data body", ResponseFrame(9, 8, data256), {FrameEvent(9, 8, data256)}},
        {"text of a 262-byte body", ResponseFrame(2, 1, text257), {FrameEvent(2, 1, text257)}},
        // Refused at its 262nd body byte, before the garbage after it.
        {"text without its end",
         Join({Hex("AA AA 02 01"), Bytes(260, 'T')}),
         {{Kind::FormatError, {}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes wire = Join({c.wire, Hex("00 55 AA 13"), Hex("AA AA 09 01 4F 4B 00 D7 6C")});
        std::vector<ParseEvent> expected = c.expected;
        expected.push_back(FrameEvent(9, 1, ToBytes("OK")));
        ResponseParser parser;
        EXPECT_TRUE(parser.Push(nullptr, 5).empty());
        EXPECT_EQ(parser.Push(wire.data(), wire.size()), expected);
        EXPECT_EQ(parser.ExpectedBodySize(), 0u);  // hunting again, nothing held
    }
}

TEST(ParseLinkStatus, SixNumbersWithBlanksAndTrailingLineEndsOnly) {
    struct Case {
        Bytes text;
        bool ok;
        std::array<std::uint32_t, 6> values;  // refused: left untouched
    } cases[] = {
        {ToBytes("0 0 3 0 0 0"), true, {0, 0, 3, 0, 0, 0}},
        {ToBytes("  0 0 3 0 0 0 \r\n"), true, {0, 0, 3, 0, 0, 0}},
        {Bytes{'1', ' ', '2', ' ', '3', ' ', '4', ' ', '5', ' ', '6', 0}, true, {1, 2, 3, 4, 5, 6}},
        {ToBytes("4294967295 0 7 0 0 4294967295"), true, {4294967295u, 0, 7, 0, 0, 4294967295u}},
        {ToBytes("0000000000000000000001 0 8 0 0 0"), true, {1, 0, 8, 0, 0, 0}},
        {ToBytes(""), false, {}},
        {ToBytes("0 0 3 0 0 4294967296"), false, {}},
        {ToBytes("0 0 -3 0 0 0"), false, {}},
        {ToBytes("0 0 3 0 0 0 7"), false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToString(c.text));
        LinkStatus status;
        EXPECT_EQ(ParseLinkStatus(c.text, status), c.ok);
        EXPECT_EQ(status.values, c.values);
    }
}

TEST(StatusPredicates, ArqAndFecTransmitStates) {
    struct Case {
        std::uint8_t b0, b1;
        bool arq, s1s2, ktm2;
    } cases[] = {
        {0x26, 0, true, false, false},  {0xA3, 1, true, false, false},  // bit 7 is not looked at
        {0x27, 0, false, false, false}, {0x33, 0, false, false, false},
        {0x4B, 1, false, true, true},   {0x48, 2, false, true, true},
        {0x4F, 1, false, false, true},  {0x4B, 0, false, false, true},
        {0x5B, 1, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.b0) + "/" + std::to_string(c.b1));
        EXPECT_EQ(IsArqActiveStatus(c.b0), c.arq);
        EXPECT_EQ(IsS1S2FecTransmitStatus(c.b0, c.b1), c.s1s2);
        EXPECT_EQ(IsKtm2FecTransmitStatus(c.b0), c.ktm2);
    }
}

TEST(SirvexCommands, FecStartPerModeAndTheCallOfATerminalMycall) {
    EXPECT_EQ(BuildSirvexFecStartCommand(SirvexFecMode::S1), ToBytes("#UNPROTO 1"));
    EXPECT_EQ(BuildSirvexFecStartCommand(SirvexFecMode::S2_S), ToBytes("#UNPROTO 3"));
    EXPECT_EQ(BuildSirvexFecStartCommand(SirvexFecMode::S2_L), ToBytes("#UNPROTO 7"));
    EXPECT_THROW(BuildSirvexFecStartCommand(static_cast<SirvexFecMode>(3)), std::invalid_argument);

    // A MYCALL typed as a terminal command: one valid call in upper case, or nothing.
    struct Case {
        const char* command;
        const char* callSign;  // empty: refused
    } cases[] = {
        {"my ab", "AB"},
        {"MYC AB1C*", "AB1C*"},
        {"MYCALL  AB1CD ", "AB1CD"},
        {"\tMyCa\tdl-1\t", "DL-1"},
        {"M AB1CD", ""},        // command word too short
        {"MYCALLX AB1CD", ""},  // too long
        {"MX AB1CD", ""},       // not a prefix of MYCALL
        {"MY   ", ""},
        {"MY AB1CD EXTRA", ""},
        {"MY AB1CDEFGH", ""},  // 9 bytes
        {"MY AB1CD\r", ""},    // CR belongs to the word
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
