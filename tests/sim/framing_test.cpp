// The simulator's own side of the framing, checked against the host side's
// request builder and response parser.
#include <gtest/gtest.h>

#include <stdexcept>

#include "cvhost/request.h"
#include "cvhost/response_parser.h"
#include "sim/request_parser.h"
#include "sim/response_builder.h"

namespace velksim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using cvhost::ParseEvent;

Bytes Ascii(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

TEST(RequestParser, DecodesWhatTheHostBuildsWhateverTheFlagsAndBytes) {
    Bytes all(256);
    for (std::size_t i = 0; i < all.size(); ++i) {
        all[i] = static_cast<std::uint8_t>(i);
    }
    struct Case {
        std::uint8_t channel;
        bool command, bit, start;
        Bytes payload;
    };
    const Case cases[] = {
        {255, true, false, false, Ascii("G")}, {254, true, true, false, Ascii("G 3")},
        {4, false, false, true, Bytes{0xAA}},  {170, true, true, true, Ascii("%M 1")},
        {4, false, true, false, all},          {31, false, false, false, Bytes(256, 0xAA)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "channel " << int(c.channel) << " size " << c.payload.size());
        const Bytes wire = cvhost::BuildRequest(c.channel, c.command, c.bit, c.start, c.payload);
        RequestParser parser;
        const auto events = parser.Push(wire.data(), wire.size());
        ASSERT_EQ(events.size(), 1u);
        ASSERT_EQ(events[0].kind, RequestEvent::Kind::Request);
        const Request& r = events[0].request;
        EXPECT_EQ(r.channel, c.channel);
        EXPECT_EQ(r.command, c.command);
        EXPECT_EQ(r.sequenceBit, c.bit);
        EXPECT_EQ(r.sequenceStart, c.start);
        EXPECT_EQ(r.payload, c.payload);
    }
}

TEST(RequestParser, CorruptedCrcIsReportedAndTheNextFrameStillParses) {
    Bytes bad = cvhost::BuildRequest(255, true, false, false, Ascii("G"));
    bad[bad.size() - 1] ^= 0x01;
    const Bytes good = cvhost::BuildRequest(255, true, true, false, Ascii("G"));
    bad.insert(bad.end(), good.begin(), good.end());
    RequestParser parser;
    const auto events = parser.Push(bad.data(), bad.size());
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, RequestEvent::Kind::CrcError);
    EXPECT_EQ(events[1].kind, RequestEvent::Kind::Request);
    EXPECT_TRUE(events[1].request.sequenceBit);
}

TEST(RequestParser, BrokenEscapesAndReservedCodeBitsAreFormatErrors) {
    const Bytes cases[] = {
        {0xAA, 0xAA, 0x04, 0xAA, 0x55},  // escape followed by neither 00 nor AA
        {0xAA, 0xAA, 0x04, 0x02},        // code with a reserved bit set
    };
    for (const Bytes& wire : cases) {
        RequestParser parser;
        const auto events = parser.Push(wire.data(), wire.size());
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].kind, RequestEvent::Kind::FormatError);
    }
}

TEST(ResponseBuilder, MatchesKnownAnswersByteForByte) {
    EXPECT_EQ(BuildResponse(4, 0, {}), (Bytes{0xAA, 0xAA, 0x04, 0x00, 0x27, 0x68}));
    EXPECT_EQ(BuildResponse(4, 1, Ascii("OK")),
              (Bytes{0xAA, 0xAA, 0x04, 0x01, 0x4F, 0x4B, 0x00, 0xA3, 0x10}));
    EXPECT_EQ(BuildResponse(4, 7, Bytes{0x41, 0xAA, 0x43}),
              (Bytes{0xAA, 0xAA, 0x04, 0x07, 0x02, 0x41, 0xAA, 0x00, 0x43, 0x33, 0x90}));
}

TEST(ResponseBuilder, EveryCodeRoundTripsThroughTheHostParser) {
    Bytes data256(256);
    for (std::size_t i = 0; i < data256.size(); ++i) {
        data256[i] = static_cast<std::uint8_t>(0xAA ^ i);
    }
    struct Case {
        std::uint8_t channel, code;
        Bytes data;
        Bytes expected;
    };
    const Case cases[] = {
        {4, 0, {}, {}},
        {255, 1, {}, {}},
        {255, 1, Bytes{5, 255}, Bytes{5, 255}},
        {4, 2, Ascii("INVALID"), Ascii("INVALID")},
        {4, 3, Ascii("*** CONNECTED to AB1CD"), Ascii("*** CONNECTED to AB1CD")},
        {4, 1, Bytes{'A', 0, 'B'}, Ascii("A")},  // text ends at its first NUL
        {254, 7, Bytes{0x2B, 3, 1}, Bytes{0x2B, 3, 1}},
        {170, 8, data256, data256},
        {4, 7, Bytes{0xAA}, Bytes{0xAA}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "code " << int(c.code) << " size " << c.data.size());
        const Bytes wire = BuildResponse(c.channel, c.code, c.data);
        cvhost::ResponseParser parser;
        const auto events = parser.Push(wire.data(), wire.size());
        ASSERT_EQ(events.size(), 1u);
        ASSERT_EQ(events[0].kind, ParseEvent::Kind::Frame);
        EXPECT_EQ(events[0].frame.channel, c.channel);
        EXPECT_EQ(events[0].frame.code, c.code);
        EXPECT_EQ(events[0].frame.payload, c.expected);
    }
}

TEST(ResponseBuilder, RefusesCodesAndSizesNoAnswerCanCarry) {
    EXPECT_THROW(BuildResponse(4, 9, {}), std::invalid_argument);
    EXPECT_THROW(BuildResponse(4, 7, {}), std::invalid_argument);
    EXPECT_THROW(BuildResponse(4, 8, Bytes(257, 1)), std::invalid_argument);
}

}  // namespace
}  // namespace velksim
