// The modem's wire pieces without a network: frames and the terminal
// dialogue.
#include "cvhost/request.h"
#include "raw_client.h"
#include "sim/request_parser.h"
#include "sim/response_builder.h"
#include "sim/terminal_dialogue.h"

namespace velksim {
namespace {

using test::Ascii;
using test::Bytes;

// Feeds text to the dialogue and returns what the modem printed.
std::string Type(TerminalDialogue& dialogue, std::string& call, const std::string& text) {
    TerminalDialogue::Result result;
    for (const char c : text) {
        dialogue.Feed(static_cast<std::uint8_t>(c), call, result);
    }
    return std::string(result.output.begin(), result.output.end());
}

TEST(RequestParser, CorruptedCrcIsReportedAndTheNextFrameStillParses) {
    Bytes wire = cvhost::BuildRequest(255, true, false, false, Ascii("G"));
    wire.back() ^= 0x01;
    const Bytes good = cvhost::BuildRequest(255, true, true, false, Ascii("G"));
    wire.insert(wire.end(), good.begin(), good.end());
    RequestParser parser;
    const auto events = parser.Push(wire.data(), wire.size());
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].kind, RequestEvent::Kind::CrcError);
    EXPECT_EQ(events[1].kind, RequestEvent::Kind::Request);
    EXPECT_TRUE(events[1].request.sequenceBit);
}

TEST(ResponseBuilder, MatchesKnownAnswersByteForByte) {
    EXPECT_EQ(BuildResponse(4, 0, {}), (Bytes{0xAA, 0xAA, 0x04, 0x00, 0x27, 0x68}));
    EXPECT_EQ(BuildResponse(4, 1, Ascii("OK")),
              (Bytes{0xAA, 0xAA, 0x04, 0x01, 0x4F, 0x4B, 0x00, 0xA3, 0x10}));
    EXPECT_EQ(BuildResponse(4, 7, Bytes{0x41, 0xAA, 0x43}),
              (Bytes{0xAA, 0xAA, 0x04, 0x07, 0x02, 0x41, 0xAA, 0x00, 0x43, 0x33, 0x90}));
}

TEST(TerminalDialogue, EchoesAnswersEachLineWithAPromptAndSetsOnlyAValidCall) {
    TerminalDialogue dialogue({"Velk test", "", false});
    const Bytes greeting = dialogue.Greeting();
    EXPECT_EQ(std::string(greeting.begin(), greeting.end()), "Velk test\r\ncmd: ");
    std::string call = "N0CALL";
    const std::string out = Type(dialogue, call, "status 2\r");
    EXPECT_EQ(out.rfind("status 2\r\n", 0), 0u) << out;  // echo first
    EXPECT_NE(out.find("STATUS: 2"), std::string::npos);
    EXPECT_TRUE(out.ends_with("cmd: "));
    EXPECT_EQ(Type(dialogue, call, "\x1b"), "\r\ncmd: ");
    EXPECT_EQ(Type(dialogue, call, "KTX\b\bTMC 0\r").find("KTX\b \b\b \bTMC 0"), 0u);
    // A sub-menu prompts its own name and takes no hostmode switch until left.
    EXPECT_TRUE(Type(dialogue, call, "PAC\r").ends_with("pac: "));
    EXPECT_NE(Type(dialogue, call, "JHOST5\r").find("not available"), std::string::npos);
    EXPECT_TRUE(Type(dialogue, call, "QUIT\r").ends_with("cmd: "));

    Type(dialogue, call, "mycall ab1cd\r");
    EXPECT_EQ(call, "AB1CD");
    Type(dialogue, call, "MY xy2z\r");
    EXPECT_EQ(call, "XY2Z");
    EXPECT_NE(Type(dialogue, call, "MY AB/1\r").find("invalid"), std::string::npos);
    EXPECT_NE(Type(dialogue, call, "MYCALLX AB1\r").find("unknown"), std::string::npos);
    EXPECT_EQ(call, "XY2Z");
}

}  // namespace
}  // namespace velksim
