#include "cvhost/response_parser.h"

#include <gtest/gtest.h>

#include <string>

#include "cvhost/test_bytes.h"

namespace cvhost {
namespace {

using testing::Ascii;
using testing::Bytes;
using testing::Hex;
using testing::ToHex;
using testing::WireResponse;
using Kind = ParseEvent::Kind;

std::vector<ParseEvent> ParseAll(const Bytes& wire) {
    ResponseParser parser;
    return parser.Push(wire.data(), wire.size());
}

ParseEvent FrameEvent(std::uint8_t channel, std::uint8_t code, Bytes payload) {
    ParseEvent event;
    event.kind = Kind::Frame;
    event.frame = Frame{channel, code, std::move(payload)};
    return event;
}

ParseEvent Fault(Kind kind) {
    ParseEvent event;
    event.kind = kind;
    return event;
}

TEST(ResponseParser, DecodesKnownResponsesAndRecoversAfterFaults) {
    struct Case {
        const char* name;
        const char* wire;
        ParseEvent expected;
    };
    const Case cases[] = {
        {"code 0, empty", "AA AA 04 00 27 68", FrameEvent(4, 0, {})},
        {"code 1 text OK", "AA AA 04 01 4F 4B 00 A3 10", FrameEvent(4, 1, Ascii("OK"))},
        {"code 7 with stuffed AA", "AA AA 04 07 02 41 AA 00 43 33 90",
         FrameEvent(4, 7, Hex("41 AA 43"))},
        {"echoed request", "AA AA FF 01 00 47 6B 55", Fault(Kind::CrcError)},
        {"corrupted CRC", "AA AA 04 01 4F 4B 00 A3 11", Fault(Kind::CrcError)},
        {"corrupted text", "AA AA 04 01 4F 4C 00 A3 10", Fault(Kind::CrcError)},
        {"marker", "AA AA AA 55", Fault(Kind::Marker)},
        {"escape 55 inside a body", "AA AA 05 AA 55", Fault(Kind::FormatError)},
        {"code above 8", "AA AA 05 09", Fault(Kind::FormatError)},
        {"unknown escape", "AA AA 05 AA 01", Fault(Kind::FormatError)},
    };
    const Bytes good = Hex("AA AA 09 01 4F 4B 00 D7 6C");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Garbage between frames is dropped without an event.
        Bytes wire = Hex(c.wire);
        for (std::uint8_t b : Hex("00 55 AA 13")) {
            wire.push_back(b);
        }
        wire.insert(wire.end(), good.begin(), good.end());
        const auto events = ParseAll(wire);
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0], c.expected);
        EXPECT_EQ(events[1], FrameEvent(9, 1, Ascii("OK")));
    }
}

TEST(ResponseParser, CompletesExactlyWhenTheImpliedBodyLengthArrives) {
    // Every prefix but the last byte is silent; the last byte completes the frame.
    for (const Bytes& bytes :
         {Hex("AA AA 04 00 27 68"), Hex("AA AA 04 01 4F 4B 00 A3 10"),
          Hex("AA AA 04 07 02 41 AA 00 43 33 90"), WireResponse({4, 5, 0x00}),
          WireResponse({4, 6, 0, 0x00}), WireResponse({4, 8, 1, 0x00, 0x00})}) {
        SCOPED_TRACE(ToHex(bytes));
        ResponseParser parser;
        EXPECT_TRUE(parser.Push(bytes.data(), bytes.size() - 1).empty());
        EXPECT_EQ(parser.CurrentState(), ResponseParser::State::InFrame);
        EXPECT_EQ(parser.Push(&bytes.back(), 1).size(), 1u);
        EXPECT_EQ(parser.CurrentState(), ResponseParser::State::Hunting);
    }
}

TEST(ResponseParser, AaAaInsideABodyRestartsItSilently) {
    Bytes wire = Hex("AA AA 04 01 4F 4B AA AA");
    const Bytes good = Hex("04 01 4F 4B 00 A3 10");
    wire.insert(wire.end(), good.begin(), good.end());
    const auto events = ParseAll(wire);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], FrameEvent(4, 1, Ascii("OK")));
}

TEST(ResponseParser, ChannelZeroAfterATextAnswerIsNotMistakenForItsTerminator) {
    // The channel byte 0x00 must not be read as the end of a text: the code of
    // the new body has not arrived yet.
    Bytes wire = Hex("AA AA 04 01 4F 4B 00 A3 10");
    const Bytes data = WireResponse({0, 7, 1, 0x41, 0x42});
    wire.insert(wire.end(), data.begin(), data.end());
    const auto events = ParseAll(wire);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1], FrameEvent(0, 7, Ascii("AB")));
}

TEST(ResponseParser, BodyLengthLimits) {
    // Longest data body: code 8 with L = 255 carries 256 bytes, 0xAA among them.
    Bytes data(256);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i);
    }
    // Built by appending to a reserved vector: gcc 12 at -O3 misreads an insert
    // into a three-byte initializer list as out of bounds.
    Bytes body;
    body.reserve(3 + data.size());
    body.push_back(9);
    body.push_back(8);
    body.push_back(255);
    body.insert(body.end(), data.begin(), data.end());
    auto events = ParseAll(WireResponse(body));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], FrameEvent(9, 8, data));

    // A text whose 0x00 makes a body of exactly 262 bytes still completes.
    const Bytes text(257, 'T');
    body.assign({2, 1});
    body.insert(body.end(), text.begin(), text.end());
    body.push_back(0x00);
    events = ParseAll(WireResponse(body));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], FrameEvent(2, 1, text));

    // A text that runs on without its 0x00 is refused at the 262nd body byte.
    Bytes runaway = Hex("AA AA 02 01");
    runaway.insert(runaway.end(), 260, 'T');
    ResponseParser parser;
    EXPECT_TRUE(parser.Push(runaway.data(), runaway.size() - 1).empty());
    events = parser.Push(&runaway.back(), 1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], Fault(Kind::FormatError));
    EXPECT_EQ(parser.CurrentState(), ResponseParser::State::Hunting);
}

TEST(ResponseParser, EmptyPushAndResetLeaveNoTrace) {
    const Bytes wire = Hex("AA AA 04 01 4F 4B 00 A3 10");
    ResponseParser parser;
    EXPECT_TRUE(parser.Push(wire.data(), 4).empty());
    EXPECT_TRUE(parser.Push(nullptr, 5).empty());
    EXPECT_TRUE(parser.Push(wire.data(), 0).empty());
    auto events = parser.Push(wire.data() + 4, wire.size() - 4);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, Kind::Frame);

    // A partial frame dropped by Reset does not leak into the next one.
    EXPECT_TRUE(parser.Push(wire.data(), 5).empty());
    parser.Reset();
    EXPECT_EQ(parser.CurrentState(), ResponseParser::State::Hunting);
    EXPECT_EQ(parser.ExpectedBodySize(), 0u);
    events = parser.Push(wire.data(), wire.size());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], FrameEvent(4, 1, Ascii("OK")));
}

}  // namespace
}  // namespace cvhost
