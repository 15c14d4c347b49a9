// Ending sessions against velksim: the orderly shutdown sequence, the silent
// end after an error, and a new session afterwards.
#include <gtest/gtest.h>

#include "e2e/velksim_harness.h"

namespace corvina::testing {
namespace {

TEST(DisconnectE2E, OrderlyEndSendsShutdownScriptJhost0AndTerminalCommands) {
    struct Case {
        const char* name;
        const char* script;  // null: no shutdown.txt
        std::vector<std::string> hostCommands;
        std::vector<std::string> terminalLinesAfter;
        bool answersLost = false;  // the modem runs every request but no answer arrives
    };
    const Case cases[] = {
        {"with shutdown.txt",
         "[Host]\n@T2 500\n[Term]\nMYCALL ZZ9Z\n",
         {"@T2 500"},
         {"MYCALL ZZ9Z"}},
        {"without shutdown.txt", nullptr, {}, {}},
        // "JHOST0" must not pass for a repetition of the unanswered command.
        {"answers lost", "[Host]\n@T2 500\n[Term]\nMYCALL ZZ9Z\n", {"@T2 500"}, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimLog log;
        auto sim = StartSimulator({"AB1CD"}, log);
        ASSERT_TRUE(sim);
        Station station;
        if (c.script != nullptr) {
            station.folder.WriteFile("shutdown.txt", c.script);
        }
        std::string error;
        ASSERT_TRUE(station.ConnectTcp(sim->modem(0), error)) << error;
        ASSERT_TRUE(station.WaitActive());
        const std::size_t linesBefore = sim->modem(0).counters().terminalLines.size();
        if (c.answersLost) {
            sim->modem(0).faults().dropEveryNth = 1;
        }
        EXPECT_TRUE(station.session.Disconnect(true));
        const auto seen = sim->modem(0).counters();
        EXPECT_FALSE(sim->modem(0).inHostmode());
        EXPECT_EQ(seen.Requests(4, "JHOST0"), 1u);
        for (const std::string& command : c.hostCommands) {
            EXPECT_EQ(seen.Requests(4, command), c.answersLost ? 3u : 1u) << command;
        }
        EXPECT_EQ(std::vector<std::string>(
                      seen.terminalLines.begin() + static_cast<std::ptrdiff_t>(linesBefore),
                      seen.terminalLines.end()),
                  c.terminalLinesAfter);
        EXPECT_FALSE(station.session.sessionActive());
    }
}

TEST(DisconnectE2E, AfterAnErrorNothingIsSentAndANewSessionStarts) {
    SimLog log;
    auto sim = StartSimulator({"AB1CD"}, log);
    ASSERT_TRUE(sim);
    Station station;
    station.folder.WriteFile("shutdown.txt", "[Host]\n@T2 500\n");
    std::string error;
    ASSERT_TRUE(station.ConnectTcp(sim->modem(0), error)) << error;
    ASSERT_TRUE(station.WaitActive());
    sim->modem(0).faults().reportFramesWaiting = 8;
    station.session.linkCanSend = true;
    station.session.QueueCommand({'F', 'O', 'O'});
    ASSERT_TRUE(station.sink.WaitFor(
        IsOutputContaining(HostOutputKind::ReceivedText, "*** HOSTMODE ERROR: "), 3s));

    // A worker error: the modem stops answering.
    sim->modem(0).faults().dropProbability = 1.0;
    ASSERT_TRUE(station.sink.WaitFor(IsError("CRC Hostmode request timed out after retries"), 6s));
    const std::uint64_t seen = sim->modem(0).counters().requestsTotal;
    EXPECT_TRUE(station.session.Disconnect(false));
    EXPECT_EQ(sim->modem(0).counters().requestsTotal, seen);
    EXPECT_EQ(sim->modem(0).counters().Requests(4, "JHOST0"), 0u);

    // The modem is still in hostmode; a new session must find its way back.
    sim->modem(0).faults().dropProbability = 0.0;
    sim->modem(0).DropClient();
    Station again;
    ASSERT_TRUE(again.ConnectTcp(sim->modem(0), error)) << error;
    EXPECT_TRUE(again.WaitActive());
    EXPECT_TRUE(again.session.Disconnect(true));
}

}  // namespace
}  // namespace corvina::testing
