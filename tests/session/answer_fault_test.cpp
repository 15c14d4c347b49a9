// A modem that answers at all is asked again with the identical request until
// its answer gets through, so received text arrives once; a silent one is not.
#include <gtest/gtest.h>

#include "session_harness.h"

namespace corvina::testing {
namespace {

// One letter per attempt of link-channel polls, then normal answers.
// c: CRC error. s: silence. o: a frame on another channel. l: answered only
// during the next attempt. g: a CRC error and the answer, in one read.
void ScriptLinkPolls(SessionHarness& h, std::string script) {
    h.modem.SetHandler([script, at = std::size_t{0}, late = Bytes()](const FakeModem::Request& r,
                                                                     Bytes& answer) mutable {
        if (!r.request.command || r.request.channel != 4 || r.request.Text() != "G") {
            return;
        }
        const char fault = at < script.size() ? script[at] : '.';
        ++at;
        Bytes garbled = answer;
        garbled[5] ^= 0x01;  // the first text byte
        const Bytes earlier = std::exchange(late, fault == 'l' ? answer : Bytes());
        answer = fault == 'c'                   ? garbled
                 : fault == 's' || fault == 'l' ? Bytes()
                 : fault == 'o'                 ? ResponseFrame(3, 1, std::string("other"))
                 : fault == 'g'                 ? Join({garbled, answer})
                                                : answer;
        answer = Join({earlier, answer});
    });
}

TEST(AnswerFaults, AModemThatAnswersIsAskedAgainUntilItsTextGetsThroughOnce) {
    const struct {
        std::string script;
        std::size_t attempts;  // of the poll that fetches the text
        bool delivered;
    } cases[] = {
        {"g", 1, true},          // the answer behind a garbled frame is taken
        {"ccccco", 7, true},     // answered attempts do not count against the modem
        {"ls", 2, true},         // a late answer is taken in the next attempt
        {"scscs", 5, false},     // three silent attempts end it, wherever they fall
        {"cccccccc", 8, false},  // and so does a cap on attempts in all
    };
    const std::string text = "text fetched once\r\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        SessionHarness h;
        StartWithArqLink(h);
        ScriptLinkPolls(h, c.script);
        h.modem.QueueLinkOutputs({{7, ToBytes(text)}});
        const auto link = [&] {
            return h.Requests(
                [](const HostRequest& r) { return r.channel == 4 && r.Text() == "G"; });
        };
        ASSERT_TRUE(
            c.delivered
                ? Eventually([&] { return link().size() > c.attempts; })
                : h.sink.WaitFor(IsError("CRC Hostmode request timed out after retries"), 6s)
                      .has_value());
        EXPECT_EQ(JoinedOutput(h.sink.Events(), HostOutputKind::ReceivedText),
                  c.delivered ? text : "");
        EXPECT_EQ(h.Errors(), c.delivered ? 0u : 1u);
        // Every attempt sent the identical request; the poll after a fetch is a new one.
        const auto polls = link();
        ASSERT_TRUE(c.delivered ? polls.size() > c.attempts : polls.size() == c.attempts);
        for (std::size_t i = 0; i < polls.size() && i <= c.attempts; ++i) {
            EXPECT_EQ(polls[i].repeated, i > 0 && i < c.attempts) << i;
        }
    }
}

}  // namespace
}  // namespace corvina::testing
