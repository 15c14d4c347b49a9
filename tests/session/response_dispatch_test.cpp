#include <gtest/gtest.h>

#include "session_harness.h"

namespace corvina::testing {
namespace {

// Waits until the text `marker`, queued after everything else, has been shown.
bool Shown(SessionHarness& h, const std::string& marker) {
    const std::size_t from = h.sink.Size();
    h.modem.QueueLinkOutputs({{1, ToBytes(marker)}});
    return h.sink.WaitFor(IsOutputContaining(HostOutputKind::ReceivedText, marker), 3s, from)
        .has_value();
}

TEST(ResponseDispatch, AnswersBecomeTextErrorsAndLinkStateChanges) {
    SessionHarness h;
    ASSERT_TRUE(h.StartAndWaitActive()) << h.startError;
    const struct {
        std::uint8_t code;
        std::string text;
        std::uint8_t linkStateAfter;
        std::string peerAfter;
    } steps[] = {
        {1, "hello", 0, ""},
        {2, "UNKNOWN COMMAND", 0, ""},
        {1, "", 0, ""},
        {3, "*** DISCONNECTED fm", 0, ""},  // not shown: no ARQ link
        {3, "*** CONNECTED to ab1xyz", 1, "AB1XYZ"},
        {3, "*** LINK RESET", 1, "AB1XYZ"},
        {3, "*** DISCONNECTED fm", 0, ""},
        {3, "*** LINK RESET", 0, ""},  // not shown without a link
        {3, "*** CONNECTED to UNPROTO", 2, ""},
        {3, "*** DISCONNECTED fm", 0, ""},  // not shown: was a broadcast
        {4, "four", 0, ""},
        {5, "five", 0, ""},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.text);
        h.modem.QueueLinkOutputs({{step.code, ToBytes(step.text)}});
        ASSERT_TRUE(Shown(h, "mark"));
        EXPECT_EQ(h.session.linkState.load(), step.linkStateAfter);
        EXPECT_EQ(h.session.ConnectedPeer(), step.peerAfter);
    }
    const auto shown = [&](HostOutputKind kind) {
        std::string text = JoinedOutput(h.sink.Events(), kind);
        for (std::size_t at; (at = text.find("mark\r\n")) != std::string::npos;) {
            text.erase(at, 6);
        }
        return text;
    };
    EXPECT_EQ(shown(HostOutputKind::ReceivedText),
              "hello\r\n*** HOSTMODE ERROR: UNKNOWN COMMAND\r\nfour\r\nfive\r\n");
    EXPECT_EQ(shown(HostOutputKind::LinkMessage),
              "*** CONNECTED to ab1xyz\r\n*** LINK RESET\r\n*** DISCONNECTED fm\r\n");
}

}  // namespace
}  // namespace corvina::testing
