// Session start against velksim over a real TCP socket and a real
// pseudo-terminal: the terminal dialogue, hostmode entry and the first polls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/velksim_harness.h"

namespace corvina::testing {
namespace {

TEST(StartupE2E, TerminalDialogueAndHostmodeStartUpOnTheWire) {
    const struct {
        const char* name;
        std::string startMenu;
        bool silent;
        bool pty;
        std::vector<std::string> lines;  // typed before the script's commands
    } cases[] = {
        {"ready at once, TCP", "", false, false, {}},
        {"ready at once, pseudo-terminal", "", false, true, {}},
        {"starts in a sub-menu", "pac", false, false, {"Q"}},
        {"silent until QUIT", "", true, false, {"QUIT"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimLog log;
        auto sim = StartSimulator({"AB1CD"}, log, [&](velksim::SimulatorOptions& o) {
            o.modems[0].terminal.startMenu = c.startMenu;
            o.modems[0].terminal.silentUntilQuit = c.silent;
            o.modems[0].pty = c.pty;
        });
        Station station;
        station.settings.terminalCommands = {ToBytes("MYCALL XY2Z")};
        station.settings.hostmodeCommands = {ToBytes("@T2 300")};
        ASSERT_TRUE(station.Connect(sim->modem(0), c.pty));

        std::vector<std::string> lines = c.lines;
        lines.insert(lines.end(), {"MYCALL XY2Z", "STATUS 2", "KTMC 0", "JHOST5"});
        EXPECT_EQ(sim->modem(0).counters().terminalLines, lines);
        const auto requests = log.Requests("AB1CD");
        const std::vector<std::pair<int, std::string>> expected = {
            {4, "%M 1"}, {4, "I XY2Z"}, {4, "@T2 300"}, {4, "I"}, {4, "C"}, {254, "G 3"}};
        ASSERT_GE(requests.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE(expected[i].second);
            EXPECT_EQ(requests[i].channel, expected[i].first);
            EXPECT_EQ(requests[i].text, expected[i].second);
            EXPECT_EQ(requests[i].sequenceStart, i == 0);
            EXPECT_EQ(requests[i].sequenceBit, i % 2 == 1);
        }
        EXPECT_EQ(station.session.OwnCall(), "XY2Z");
        // The script's commands are shown before the session reports itself active.
        const auto events = station.sink.Events();
        const auto active =
            std::find_if(events.begin(), events.end(), IsKind(UiEventKind::HostmodeActiveEvent));
        EXPECT_EQ(JoinedOutput({events.begin(), active}, HostOutputKind::CommandText),
                  "[startup.txt Term] > MYCALL XY2Z\r\n[startup.txt Host] > @T2 300\r\n");
        EXPECT_TRUE(station.session.Disconnect(true));
    }
}

TEST(StartupE2E, ChatteringModemReachesHostmodeIsPolledAndLetsTheSessionGo) {
    SimLog log;
    auto sim = StartSimulator({"AB1CD"}, log, [](velksim::SimulatorOptions& o) {
        o.modems[0].faults.chatterMs = 5;  // far below the host's silence gap
    });
    velksim::Modem& modem = sim->modem(0);
    Station station;
    ASSERT_TRUE(station.Connect(modem, false, 20s));

    // The modem did talk throughout, and the dialogue still ran to the end. A
    // modem slowed down (a loaded machine, a sanitizer) can fall silent before
    // its prompt comes and so be sent a "QUIT" on the way: that is the
    // dialogue working as meant, so only the commands are compared.
    const velksim::Counters seen = modem.counters();
    EXPECT_GE(seen.chatterLines, 100u);
    std::vector<std::string> commands = seen.terminalLines;
    std::erase(commands, "QUIT");
    EXPECT_EQ(commands, (std::vector<std::string>{"STATUS 2", "KTMC 0", "JHOST5"}));
    EXPECT_EQ(station.session.OwnCall(), "AB1CD");

    // In hostmode the pending output is polled every half second, with sequence
    // bits alternating and nothing ever repeated.
    std::this_thread::sleep_for(2200ms);
    const auto requests = log.Requests("AB1CD");
    std::vector<std::chrono::steady_clock::time_point> polls;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        EXPECT_EQ(requests[i].sequenceBit, i % 2 == 1) << i;
        if (requests[i].channel == 255 && requests[i].text == "G") {
            polls.push_back(requests[i].at);
        }
    }
    ASSERT_GE(polls.size(), 3u);
    for (std::size_t i = 1; i < polls.size(); ++i) {
        EXPECT_GE(polls[i] - polls[i - 1], 480ms);
        EXPECT_LT(polls[i] - polls[i - 1], 900ms);
    }
    EXPECT_EQ(modem.counters().repetitions, 0u);

    // JHOST0 sets it chattering again; the orderly end must not wait for silence.
    const auto stopping = std::chrono::steady_clock::now();
    EXPECT_TRUE(station.session.Disconnect(true));
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, 10s);
    EXPECT_FALSE(modem.inHostmode());
    EXPECT_GT(modem.counters().chatterLines, seen.chatterLines);
}

using MyCall = OneModem;

TEST_F(MyCall, TheModemRejectsEndsTheWorkerWithItsReason) {
    station.settings.terminalCommands = {ToBytes("MYCALL AB*1CD")};
    ASSERT_TRUE(station.Connect(modem, false, 10s, false));
    EXPECT_TRUE(station.sink.WaitFor(
        IsError("startup.txt MY command was rejected by the modem: INVALID CALLSIGN"), 10s));
    EXPECT_EQ(station.sink.Count(IsKind(UiEventKind::HostmodeActiveEvent)), 0u);
}

}  // namespace
}  // namespace corvina::testing
