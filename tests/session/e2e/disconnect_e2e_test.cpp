// Ending sessions against velksim: the orderly shutdown sequence, the silent
// end after an error, and a new session afterwards.
#include <gtest/gtest.h>

#include <thread>

#include "e2e/velksim_harness.h"

namespace corvina::testing {
namespace {

TEST(DisconnectE2E, OrderlyEndSendsShutdownScriptJhost0AndTerminalCommands) {
    const char* const kScript = "[Host]\n@T2 500\n@T3 100\n[Term]\nMYCALL ZZ9Z\n";
    const struct {
        const char* name;
        const char* script;                                               // null: no shutdown.txt
        std::vector<std::pair<std::string, std::uint64_t>> hostCommands;  // and times sent
        std::vector<std::string> terminalLinesAfter;
        bool answersLost;  // the modem runs every request but no answer arrives
        bool duringStartUp;
    } cases[] = {
        {"with shutdown.txt",
         kScript,
         {{"@T2 500", 1}, {"@T3 100", 1}},
         {"MYCALL ZZ9Z"},
         false,
         false},
        {"without shutdown.txt", nullptr, {}, {}, false, false},
        // What follows an unanswered command is skipped, "JHOST0" is still sent
        // (and must not pass for a repetition), the terminal commands are not.
        {"answers lost", kScript, {{"@T2 500", 3}, {"@T3 100", 0}}, {}, true, false},
        // Answers come slowly, so the stop lands while hostmode starts up.
        {"during the start-up", nullptr, {}, {}, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimLog log;
        auto sim = StartSimulator({"AB1CD"}, log);
        Station station;
        if (c.script != nullptr) {
            station.folder.WriteFile("shutdown.txt", c.script);
        }
        sim->modem(0).faults().lateEveryNth = c.duringStartUp ? 1 : 0;
        sim->modem(0).faults().lateMs = 300;
        ASSERT_TRUE(station.Connect(sim->modem(0), false, 10s, !c.duringStartUp));
        const std::size_t linesBefore = sim->modem(0).counters().terminalLines.size();
        sim->modem(0).faults().dropEveryNth = c.answersLost ? 1 : 0;
        EXPECT_TRUE(station.session.Disconnect(true));
        const auto seen = sim->modem(0).counters();
        EXPECT_FALSE(sim->modem(0).inHostmode());
        EXPECT_EQ(seen.Requests(4, "JHOST0"), 1u);
        for (const auto& [command, times] : c.hostCommands) {
            EXPECT_EQ(seen.Requests(4, command), times) << command;
        }
        EXPECT_EQ(std::vector<std::string>(
                      seen.terminalLines.begin() + static_cast<std::ptrdiff_t>(linesBefore),
                      seen.terminalLines.end()),
                  c.terminalLinesAfter);
        EXPECT_FALSE(station.session.sessionActive());
        EXPECT_EQ(station.Errors(), 0u);
        EXPECT_EQ(station.sink.Count(IsKind(UiEventKind::HostmodeActiveEvent)),
                  c.duringStartUp ? 0u : 1u);
    }
}

using NotOrderlyEnd = OneModem;

TEST_F(NotOrderlyEnd, FinishesTheTransactionUnderWayAndClearsEverything) {
    station.folder.WriteFile("shutdown.txt", "[Host]\n@T2 500\n");
    ASSERT_TRUE(station.Connect(modem));
    ASSERT_TRUE(station.Broadcast());
    // Data waits for a modem that reports itself full, the worker for a slow answer.
    modem.faults().reportFramesWaiting = 8;
    station.session.SetConnectedPeer("XY2Z");
    ASSERT_TRUE(station.session.QueueData(ToBytes("unsent"), OutboundKind::TransmitText));
    station.session.fileSendActive = true;
    station.session.incomingTransferActive = true;
    modem.faults().lateMs = 600;
    modem.faults().lateEveryNth = 1;
    ASSERT_TRUE(Eventually([&] { return modem.counters().answersLate > 0; }));
    station.session.QueueCommand(ToBytes("NEVER"));

    EXPECT_TRUE(station.session.Disconnect(false));
    const std::uint64_t sent = modem.counters().requestsTotal;
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(modem.counters().requestsTotal, sent);
    EXPECT_EQ(modem.counters().Requests(4, "NEVER") + modem.counters().Requests(4, "JHOST0"), 0u);
    EXPECT_TRUE(modem.inHostmode());
    EXPECT_TRUE(station.session.WithQueues(
        [](HostQueues& q) { return q.commandQueue.empty() && q.outboundQueue.empty(); }));
    EXPECT_FALSE(station.session.arqConnected || station.session.fileSendActive ||
                 station.session.incomingTransferActive || station.session.linkCanSend);
    EXPECT_EQ(station.session.ConnectedPeer(), "");
    EXPECT_EQ(station.Errors(), 0u);
    EXPECT_FALSE(station.session.Disconnect(false));
    EXPECT_FALSE(station.session.Disconnect(true));
}

TEST(DisconnectE2E,
     SilentModemEndsTheWorkerAfterThreeAttemptsThenNothingIsSentAndANewSessionStarts) {
    SimLog log;
    auto sim = StartSimulator({"AB1CD"}, log);
    ASSERT_TRUE(sim);
    Station station;
    station.folder.WriteFile("shutdown.txt", "[Host]\n@T2 500\n");
    ASSERT_TRUE(station.Connect(sim->modem(0)));
    // A worker error: the modem stops answering.
    sim->modem(0).faults().dropProbability = 1.0;
    ASSERT_TRUE(station.sink.WaitFor(IsError("CRC Hostmode request timed out after retries"), 6s));
    // The last request went out three times, unchanged, about a second apart.
    const auto requests = log.Requests("AB1CD");
    ASSERT_GE(requests.size(), 3u);
    for (std::size_t i = requests.size() - 2; i < requests.size(); ++i) {
        EXPECT_EQ(requests[i].text, requests[i - 1].text);
        EXPECT_EQ(requests[i].sequenceBit, requests[i - 1].sequenceBit);
        EXPECT_GE(requests[i].at - requests[i - 1].at, 1150ms);
        EXPECT_LT(requests[i].at - requests[i - 1].at, 2000ms);
    }
    const std::uint64_t seen = sim->modem(0).counters().requestsTotal;
    EXPECT_TRUE(station.session.Disconnect(false));
    EXPECT_EQ(sim->modem(0).counters().requestsTotal, seen);
    EXPECT_EQ(sim->modem(0).counters().Requests(4, "JHOST0"), 0u);

    // The modem is still in hostmode; a new session must find its way back.
    sim->modem(0).faults().dropProbability = 0.0;
    sim->modem(0).DropClient();
    Station again;
    ASSERT_TRUE(again.Connect(sim->modem(0)));
    EXPECT_TRUE(again.session.Disconnect(true));
}

}  // namespace
}  // namespace corvina::testing
