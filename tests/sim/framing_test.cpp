// The simulator's own side of the framing, checked against the host side's
// request builder and response parser.
#include <gtest/gtest.h>

#include <stdexcept>

#include "cvhost/request.h"
#include "sim/request_parser.h"
#include "sim/response_builder.h"

namespace velksim {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Ascii(const std::string& text) {
    return Bytes(text.begin(), text.end());
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

TEST(ResponseBuilder, RefusesCodesAndSizesNoAnswerCanCarry) {
    EXPECT_THROW(BuildResponse(4, 9, {}), std::invalid_argument);
    EXPECT_THROW(BuildResponse(4, 7, {}), std::invalid_argument);
    EXPECT_THROW(BuildResponse(4, 8, Bytes(257, 1)), std::invalid_argument);
}

}  // namespace
}  // namespace velksim
