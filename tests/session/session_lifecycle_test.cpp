#include <gtest/gtest.h>

#include <thread>

#include "session_harness.h"

namespace corvina::testing {
namespace {

TEST(SessionStart, ModemThatNeverShowsTheCommandPromptIsLeftAlone) {
    SessionHarness h;
    // Silent after the first three escapes and after every QUIT.
    h.modem.SetTerminalHandler(
        [escapes = 0](const std::string& written, std::string& reply) mutable {
            if ((written == "\x1b" && ++escapes <= 3) || written.rfind("QUIT", 0) == 0) {
                reply.clear();
            }
        });
    ASSERT_TRUE(h.StartAndWaitActive()) << h.startError;
    const std::string log = h.modem.TerminalLog();
    const std::string start = "\x1bQUIT\r\x1bQUIT\r\x1bQUIT\rQUIT\r\x1bSTATUS 2\r";
    EXPECT_EQ(log.substr(0, start.size()), start) << log;
    EXPECT_EQ(log.substr(log.size() - 7), "JHOST5\r");
}

TEST(SessionStart, LinkFailureDuringDialogueFailsAndReleasesTheTransport) {
    SessionHarness h;
    h.modem.FailReads("COM read failed: Input/output error");
    std::string error;
    EXPECT_FALSE(h.session.Start(h.modem.MakeTransport(), h.settings, error));
    EXPECT_EQ(error, "COM read failed: Input/output error");
    EXPECT_FALSE(h.session.HasTransport());
    EXPECT_FALSE(h.session.sessionActive());
    EXPECT_FALSE(h.session.Disconnect(false));
    EXPECT_EQ(h.Errors(), 0u);
}

TEST(SessionStart, RejectedOrMalformedAnswerEndsTheWorkerWithItsText) {
    const struct {
        std::string request;
        std::uint8_t code;
        std::string text;
        std::string expected;
    } cases[] = {
        {"I AB1CD", 2, "INVALID CALLSIGN",
         "startup.txt MY command was rejected by the modem: INVALID CALLSIGN"},
        {"I AB1CD", 1, "", "startup.txt MY command was rejected by the modem"},
        {"L", 1, "1 2 3", "Invalid response to Hostmode L command"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        SessionHarness h;
        h.settings.terminalCommands = {ToBytes("MYCALL AB1CD")};
        h.modem.SetHandler([&c](const FakeModem::Request& r, Bytes& answer) {
            if (r.request.Text() == c.request) {
                answer = ResponseFrame(r.request.channel, c.code, c.text);
            }
        });
        const bool active = c.request == "L";
        if (active) {
            StartWithArqLink(h);
            ASSERT_TRUE(h.session.QueueData(ToBytes("x"), OutboundKind::TransmitText));
        } else {
            ASSERT_TRUE(h.session.Start(h.modem.MakeTransport(), h.settings, h.startError));
        }
        EXPECT_TRUE(h.sink.WaitFor(IsError(c.expected), 5s));
        EXPECT_EQ(h.sink.Count(IsKind(UiEventKind::HostmodeActiveEvent)), active ? 1u : 0u);
        const std::size_t sent = h.modem.Requests().size();
        EXPECT_TRUE(h.session.Disconnect(false));
        EXPECT_EQ(h.modem.Requests().size(), sent);  // nothing more after the error
    }
}

TEST(Disconnect, OrderlyStopDuringTheHostmodeStartUpStillLeavesHostmode) {
    SessionHarness h;
    Gate gate;
    h.modem.SetHandler([&gate](const FakeModem::Request& r, Bytes&) {
        if (IsCommand(r, "%M 1") && !r.repeated) {
            gate.Wait();
        }
    });
    ASSERT_TRUE(h.session.Start(h.modem.MakeTransport(), h.settings, h.startError));
    ASSERT_TRUE(gate.WaitReached());
    std::thread disconnecting([&] { h.session.Disconnect(true); });
    // Let the stop request land while the start-up is held, if it does.
    Eventually([&] { return h.session.stopRequested.load(); }, 500ms);
    gate.open.set_value();
    disconnecting.join();

    const auto requests = h.modem.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().request.Text(), "JHOST0");
    EXPECT_FALSE(h.modem.InHostmode());
    EXPECT_EQ(h.Errors(), 0u);
    EXPECT_EQ(h.sink.Count(IsKind(UiEventKind::HostmodeActiveEvent)), 0u);
}

TEST(Disconnect, NotOrderlySendsNothingAndClearsEverything) {
    SessionHarness h;
    h.folder.WriteFile("shutdown.txt", "[Host]\n@X 1\n");
    StartWithArqLink(h);
    h.modem.SetPendingFrames(8);
    // Hold the worker inside a transaction while work piles up behind it.
    Gate gate;
    HoldWorkerAt(h, gate, "HOLD");
    h.session.SetConnectedPeer("XY2Z");
    ASSERT_TRUE(h.session.QueueData(ToBytes("unsent"), OutboundKind::TransmitText));
    h.session.QueueCommand(ToBytes("NEVER"));
    h.session.fileSendActive = true;
    h.session.incomingTransferActive = true;

    std::thread disconnecting([&] { EXPECT_TRUE(h.session.Disconnect(false)); });
    EXPECT_TRUE(Eventually([&] { return h.session.stopRequested.load(); }));
    gate.open.set_value();
    disconnecting.join();
    // Only the transaction under way was finished.
    const auto requests = h.modem.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().request.Text(), "HOLD");
    EXPECT_TRUE(h.modem.InHostmode());
    EXPECT_TRUE(h.session.WithQueues(
        [](HostQueues& q) { return q.commandQueue.empty() && q.outboundQueue.empty(); }));
    EXPECT_FALSE(h.session.arqConnected || h.session.fileSendActive ||
                 h.session.incomingTransferActive);
    EXPECT_EQ(h.session.ConnectedPeer(), "");

    EXPECT_FALSE(h.session.Disconnect(false));
    EXPECT_FALSE(h.session.Disconnect(true));
}

}  // namespace
}  // namespace corvina::testing
