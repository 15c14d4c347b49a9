// Two programs on two simulated modems sharing one radio channel: an ARQ call,
// text both ways with a changeover, the delayed echo, the disconnect and a
// broadcast heard by the other station.
#include <gtest/gtest.h>

#include "cvhost/sirvex_commands.h"
#include "cvrk/connect_text.h"
#include "e2e/velksim_harness.h"

namespace corvina::testing {
namespace {

std::vector<std::uint8_t> B(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

bool Shown(const Station& station, HostOutputKind kind, const std::string& text,
           std::chrono::milliseconds timeout = 10s) {
    return station.sink.WaitFor(IsOutputContaining(kind, text), timeout).has_value();
}

TEST(TwoStationsE2E, ArqCallTextBothWaysChangeoverEchoDisconnectAndBroadcast) {
    SimLog log;
    auto sim = StartSimulator({"AB1CD", "XY2Z"}, log, 10.0);
    ASSERT_TRUE(sim);
    Station a;
    Station b;
    std::string error;
    ASSERT_TRUE(a.ConnectTcp(sim->modem(0), error)) << error;
    ASSERT_TRUE(b.ConnectTcp(sim->modem(1), error)) << error;
    ASSERT_TRUE(a.WaitActive());
    ASSERT_TRUE(b.WaitActive());

    // A calls B.
    a.session.NoteOutgoingCall("xy2z");
    a.session.QueueCommand(cvrk::BuildRobustConnectCommand("XY2Z"));
    ASSERT_TRUE(Shown(a, HostOutputKind::LinkMessage, "CONNECTED to XY2Z"));
    ASSERT_TRUE(Shown(b, HostOutputKind::LinkMessage, "CONNECTED to AB1CD"));
    ASSERT_TRUE(Eventually([&] { return a.session.arqConnected && b.session.arqConnected; }, 5s));
    EXPECT_EQ(a.session.ConnectedPeer(), "XY2Z");
    EXPECT_EQ(b.session.ConnectedPeer(), "AB1CD");
    EXPECT_EQ(a.session.linkState.load(), kLinkArq);
    EXPECT_EQ(b.session.linkState.load(), kLinkArq);

    // A (the sender) talks; B hears it and A sees the modem's echo of it.
    ASSERT_TRUE(a.session.QueueData(B("hello from AB1CD\r\n"), OutboundKind::TransmitText));
    ASSERT_TRUE(Shown(b, HostOutputKind::ReceivedText, "hello from AB1CD"));
    ASSERT_TRUE(Shown(a, HostOutputKind::EchoText, "hello from AB1CD"));

    // B's reply waits in its modem until A hands over with the prompt.
    ASSERT_TRUE(b.session.QueueData(B("reply from XY2Z\r\n"), OutboundKind::TransmitText));
    const auto changeover = a.session.QueueChangeoverPrompt();
    ASSERT_EQ(changeover.outcome, HostSession::ChangeoverOutcome::PromptQueued);
    ASSERT_TRUE(Shown(b, HostOutputKind::ReceivedText, "XY2Z de AB1CD>\r\n"));
    ASSERT_TRUE(Shown(a, HostOutputKind::ReceivedText, "reply from XY2Z"));
    ASSERT_TRUE(Shown(b, HostOutputKind::EchoText, "reply from XY2Z"));
    EXPECT_FALSE(a.session.changeoverPending);

    // A ends the link; both sides see it go.
    a.session.QueueCommand(B("D"));
    ASSERT_TRUE(Shown(a, HostOutputKind::LinkMessage, "DISCONNECTED"));
    ASSERT_TRUE(Shown(b, HostOutputKind::LinkMessage, "DISCONNECTED"));
    ASSERT_TRUE(Eventually([&] { return !a.session.arqConnected && !b.session.arqConnected; }, 5s));
    EXPECT_EQ(a.session.linkState.load(), kLinkNone);
    EXPECT_EQ(a.session.ConnectedPeer(), "");

    // A broadcast from B is heard by A.
    b.session.linkState = kLinkFec;
    b.session.QueueCommand(cvhost::BuildSirvexFecStartCommand(cvhost::SirvexFecMode::S1));
    ASSERT_TRUE(Eventually([&] { return b.session.linkCanSend.load(); }, 5s));
    ASSERT_TRUE(b.session.QueueData(B("CQ CQ de XY2Z\r\n"), OutboundKind::TransmitText));
    ASSERT_TRUE(Shown(a, HostOutputKind::ReceivedText, "CQ CQ de XY2Z"));
    b.session.RequestEndBroadcast();
    ASSERT_TRUE(Eventually([&] { return sim->modem(1).counters().Requests(4, "D") >= 1; }, 5s));

    EXPECT_EQ(a.sink.Count(IsKind(UiEventKind::HostErrorEvent)), 0u);
    EXPECT_EQ(b.sink.Count(IsKind(UiEventKind::HostErrorEvent)), 0u);
    EXPECT_TRUE(a.session.Disconnect(true));
    EXPECT_TRUE(b.session.Disconnect(true));
    EXPECT_FALSE(sim->modem(0).inHostmode());
    EXPECT_FALSE(sim->modem(1).inHostmode());
}

}  // namespace
}  // namespace corvina::testing
