#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "fake_transfer_hooks.h"
#include "session_harness.h"

namespace corvina::testing {
namespace {

// Everything the modem received after the first request at or after `from`.
std::vector<std::string> CommandsFrom(const SessionHarness& h, std::size_t from) {
    std::vector<std::string> texts;
    const auto requests = h.modem.Requests();
    for (std::size_t i = from; i < requests.size(); ++i) {
        const std::string text = requests[i].request.Text();
        if (requests[i].request.channel == 4 && text != "G" && text != "L") {
            texts.push_back(text);
        }
    }
    return texts;
}

TEST(Disconnect, OrderlyEndRunsShutdownScriptAroundJhost0) {
    SessionHarness h;
    h.folder.WriteFile("shutdown.txt", "[Host]\r\n@X 1\r\n@Y 2\r\n[Term]\r\nMYCALL ZZ9\r\n");
    ASSERT_TRUE(h.StartAndWaitActive()) << h.startError;
    const std::size_t before = h.modem.Requests().size();
    const std::size_t terminalBefore = h.modem.TerminalLog().size();

    EXPECT_TRUE(h.session.Disconnect(true));
    EXPECT_EQ(CommandsFrom(h, before), (std::vector<std::string>{"@X 1", "@Y 2", "JHOST0"}));
    EXPECT_EQ(h.modem.TerminalLog().substr(terminalBefore), "\x1bMYCALL ZZ9\r");
    EXPECT_FALSE(h.modem.InHostmode());
    EXPECT_FALSE(h.session.sessionActive());
    EXPECT_FALSE(h.session.HasTransport());
    EXPECT_EQ(h.sink.Count(IsKind(UiEventKind::HostErrorEvent)), 0u);
}

TEST(Disconnect, ShutdownFailuresSkipWhatDependsOnThem) {
    struct Case {
        const char* name;
        const char* silentCommand;
        std::vector<std::string> expectedCommands;
        bool terminalCommandsSent;
    };
    const Case cases[] = {
        {"first host command unanswered", "@X 1", {"@X 1", "@X 1", "@X 1", "JHOST0"}, true},
        {"JHOST0 unanswered", "JHOST0", {"@X 1", "@Y 2", "JHOST0"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SessionHarness h;
        h.folder.WriteFile("shutdown.txt", "[Host]\n@X 1\n@Y 2\n[Term]\nMYCALL ZZ9\n");
        const std::string silent = c.silentCommand;
        h.modem.SetHandler([silent](const FakeModem::Request& r, Bytes& answer) {
            if (r.request.Text() == silent)
                answer.clear();
        });
        ASSERT_TRUE(h.StartAndWaitActive()) << h.startError;
        const std::size_t before = h.modem.Requests().size();
        const std::size_t terminalBefore = h.modem.TerminalLog().size();
        EXPECT_TRUE(h.session.Disconnect(true));
        EXPECT_EQ(CommandsFrom(h, before), c.expectedCommands);
        EXPECT_EQ(h.modem.TerminalLog().size() > terminalBefore, c.terminalCommandsSent);
    }
}

TEST(Disconnect, OrderlyStopDuringTheHostmodeStartUpStillLeavesHostmode) {
    SessionHarness h;
    std::mutex mutex;
    std::condition_variable changed;
    bool held = false;
    bool release = false;
    h.modem.SetHandler([&](const FakeModem::Request& r, Bytes&) {
        if (IsCommand(r, "%M 1")) {
            std::unique_lock<std::mutex> lock(mutex);
            held = true;
            changed.notify_all();
            changed.wait_for(lock, 5s, [&] { return release; });
        }
    });
    std::string error;
    ASSERT_TRUE(h.session.Start(h.modem.MakeTransport(), h.settings, error)) << error;
    {
        std::unique_lock<std::mutex> lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, 5s, [&] { return held; }));
    }
    std::thread disconnecting([&] { h.session.Disconnect(true); });
    for (int i = 0; i < 500 && !h.session.stopRequested; ++i) {
        std::this_thread::sleep_for(1ms);
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        release = true;
    }
    changed.notify_all();
    disconnecting.join();

    const auto requests = h.modem.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().request.Text(), "JHOST0");
    EXPECT_FALSE(h.modem.InHostmode());
    EXPECT_EQ(h.sink.Count(IsKind(UiEventKind::HostErrorEvent)), 0u);
    EXPECT_EQ(h.sink.Count(IsKind(UiEventKind::HostmodeActiveEvent)), 0u);
}

TEST(Disconnect, NotOrderlySendsNothingAndClearsEverything) {
    FakeTransferHooks hooks;
    SessionHarness h(4, &hooks);
    h.folder.WriteFile("shutdown.txt", "[Host]\n@X 1\n");
    ASSERT_TRUE(h.StartAndWaitActive()) << h.startError;
    h.modem.SetPendingFrames(8);
    h.modem.SetStatus(0x23, 2, 0);
    ASSERT_TRUE(h.sink.WaitFor(
        [](const UiEvent& e) {
            const HostOutput* o = e.hostOutput();
            return o != nullptr && o->kind == HostOutputKind::StatusBytes && o->bytes[0] == 0x23;
        },
        3s));
    // Hold the worker inside a transaction while work piles up behind it.
    Gate gate;
    h.modem.SetHandler([&gate](const FakeModem::Request& r, Bytes&) {
        if (IsCommand(r, "HOLD") && !r.repeated)
            gate.Wait();
    });
    h.session.QueueCommand(ToBytes("HOLD"));
    gate.WaitReached();
    h.session.SetConnectedPeer("XY2Z");
    ASSERT_TRUE(h.session.QueueData(ToBytes("unsent"), OutboundKind::TransmitText));
    h.session.QueueCommand(ToBytes("NEVER"));
    h.session.fileSendActive = true;
    h.session.incomingTransferActive = true;

    // (The fake modem is locked while the gate holds the worker: no calls on it.)
    std::thread disconnecting([&] { EXPECT_TRUE(h.session.Disconnect(false)); });
    EXPECT_TRUE(Eventually([&] { return h.session.stopRequested.load(); }));
    gate.Open();
    disconnecting.join();
    // Only the transaction under way was finished.
    const auto requests = h.modem.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().request.Text(), "HOLD");
    EXPECT_TRUE(h.modem.InHostmode());
    EXPECT_TRUE(h.session.WithQueues(
        [](HostQueues& q) { return q.commandQueue.empty() && q.outboundQueue.empty(); }));
    EXPECT_FALSE(h.session.arqConnected);
    EXPECT_FALSE(h.session.linkCanSend);
    EXPECT_EQ(h.session.linkState.load(), 0);
    EXPECT_FALSE(h.session.fileSendActive);
    EXPECT_FALSE(h.session.incomingTransferActive);
    EXPECT_EQ(h.session.OwnCall(), "");
    EXPECT_EQ(h.session.ConnectedPeer(), "");
    EXPECT_EQ(hooks.joins.load(), 1);
    EXPECT_EQ(hooks.abandons.load(), 1);
    EXPECT_EQ(hooks.outgoingResets.load(), 1);

    EXPECT_FALSE(h.session.Disconnect(false));
    EXPECT_FALSE(h.session.Disconnect(true));
    EXPECT_EQ(hooks.joins.load(), 1);
}

TEST(Disconnect, SessionCanStartAgainAfterAWorkerError) {
    SessionHarness h;
    ASSERT_TRUE(h.StartAndWaitActive()) << h.startError;
    h.modem.SetHandler([](const FakeModem::Request& r, Bytes& answer) {
        if (IsCommand(r, "L"))
            answer = ResponseFrame(4, 1, std::string("1 2 3"));
    });
    h.modem.SetStatus(0x23, 1, 0);
    for (int i = 0; i < 200 && !h.session.linkCanSend; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(h.session.QueueData(ToBytes("x"), OutboundKind::TransmitText));
    ASSERT_TRUE(h.sink.WaitFor(IsError("Invalid response to Hostmode L command"), 3s));
    const std::size_t before = h.modem.Requests().size();
    EXPECT_TRUE(h.session.Disconnect(false));
    EXPECT_EQ(h.modem.Requests().size(), before);
    EXPECT_TRUE(h.modem.InHostmode());

    FakeModem second;
    std::string error;
    ASSERT_TRUE(h.session.Start(second.MakeTransport(), h.settings, error)) << error;
    EXPECT_TRUE(h.sink.WaitForCount(IsKind(UiEventKind::HostmodeActiveEvent), 2, 5s));
    EXPECT_TRUE(h.session.Disconnect(true));
    EXPECT_FALSE(second.InHostmode());
}

}  // namespace
}  // namespace corvina::testing
