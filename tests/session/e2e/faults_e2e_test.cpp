// Faults between the program and velksim: lost and garbled answers, a closed
// TCP connection, a hung-up pseudo-terminal.
#include <gtest/gtest.h>

#include "cvrk/connect_text.h"
#include "e2e/velksim_harness.h"

namespace corvina::testing {
namespace {

TEST(FaultsE2E, LostLateAndCorruptedAnswersStillDeliverEveryByteExactlyOnce) {
    SimLog log;
    auto sim = StartSimulator({"AB1CD", "XY2Z"}, log, 20.0, [](velksim::SimulatorOptions& o) {
        for (auto& modem : o.modems) {
            modem.faults.dropProbability = 0.02;
            modem.faults.corruptEveryNth = 50;
            modem.faults.lateEveryNth = 25;
        }
        o.seed = 7;
    });
    ASSERT_TRUE(sim);
    Station a;
    Station b;
    std::string error;
    ASSERT_TRUE(a.ConnectTcp(sim->modem(0), error)) << error;
    ASSERT_TRUE(b.ConnectTcp(sim->modem(1), error)) << error;
    ASSERT_TRUE(a.WaitActive());
    ASSERT_TRUE(b.WaitActive());
    a.session.QueueCommand(cvrk::BuildRobustConnectCommand("XY2Z"));
    ASSERT_TRUE(Eventually([&] { return a.session.arqConnected && b.session.arqConnected; }, 10s));

    // 5,000 bytes of numbered lines, so a lost or doubled piece shows.
    std::string text;
    for (int line = 0; text.size() < 5000; ++line) {
        text += "line " + std::to_string(line) + " of the long exchange\r\n";
    }
    for (std::size_t at = 0; at < text.size(); at += 500) {
        const std::string part = text.substr(at, 500);
        ASSERT_TRUE(a.session.QueueData({part.begin(), part.end()}, OutboundKind::TransmitText));
    }
    ASSERT_TRUE(Eventually(
        [&] {
            return JoinedOutput(b.sink.Events(), HostOutputKind::ReceivedText).size() >=
                       text.size() &&
                   JoinedOutput(a.sink.Events(), HostOutputKind::EchoText).size() >= text.size();
        },
        60s));
    // Compared as booleans: a mismatch of 5,000 bytes is unreadable in full.
    const std::string received = JoinedOutput(b.sink.Events(), HostOutputKind::ReceivedText);
    const std::string echoed = JoinedOutput(a.sink.Events(), HostOutputKind::EchoText);
    EXPECT_TRUE(received == text) << received.size() << " bytes received";
    EXPECT_TRUE(echoed == text) << echoed.size() << " bytes echoed";

    const auto seen = sim->modem(0).counters();
    EXPECT_GT(seen.answersDropped + seen.answersCorrupted, 0u);
    EXPECT_GT(seen.repetitions, 0u);
    EXPECT_GT(sim->modem(1).counters().answersLate, 0u);
    EXPECT_EQ(a.sink.Count(IsKind(UiEventKind::HostErrorEvent)), 0u);
    EXPECT_EQ(b.sink.Count(IsKind(UiEventKind::HostErrorEvent)), 0u);
    a.session.Disconnect(false);
    b.session.Disconnect(false);
}

TEST(FaultsE2E, ModemThatDropsTheConnectionEndsTheWorkerWithTheTransportsText) {
    struct Case {
        const char* name;
        bool pty;
    };
    for (const Case c :
         {Case{"TCP closed by the modem", false}, Case{"pseudo-terminal hung up", true}}) {
        SCOPED_TRACE(c.name);
        SimLog log;
        auto sim = StartSimulator({"AB1CD"}, log, 10.0, [&](velksim::SimulatorOptions& o) {
            o.modems[0].pty = c.pty;
            o.modems[0].ptyLink = std::filesystem::temp_directory_path() /
                                  ("corvina-session-fault-" + std::to_string(::getpid()));
        });
        ASSERT_TRUE(sim);
        Station station;
        std::string error;
        ASSERT_TRUE(c.pty ? station.ConnectPty(sim->modem(0), error)
                          : station.ConnectTcp(sim->modem(0), error))
            << error;
        ASSERT_TRUE(station.WaitActive());
        sim->modem(0).faults().closeAtRequest =
            static_cast<std::uint32_t>(sim->modem(0).counters().requestsTotal + 2);
        const auto failure = station.sink.WaitFor(IsKind(UiEventKind::HostErrorEvent), 5s);
        ASSERT_TRUE(failure);
        ASSERT_NE(failure->errorText(), nullptr);
        if (c.pty) {
            EXPECT_EQ(failure->errorText()->rfind("COM read failed: ", 0), 0u)
                << *failure->errorText();
        } else {
            EXPECT_EQ(*failure->errorText(), "The modem closed the Telnet connection");
        }
        EXPECT_EQ(station.sink.Count(IsKind(UiEventKind::HostErrorEvent)), 1u);
        EXPECT_TRUE(station.session.Disconnect(false));
        EXPECT_FALSE(station.session.HasTransport());
    }
}

}  // namespace
}  // namespace corvina::testing
