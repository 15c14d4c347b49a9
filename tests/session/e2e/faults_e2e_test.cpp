// Faults between the program and velksim: lost and garbled answers, a closed
// TCP connection, a hung-up pseudo-terminal, refused data.
#include <gtest/gtest.h>

#include "e2e/velksim_harness.h"

namespace corvina::testing {
namespace {

TEST(FaultsE2E, LostLateAndCorruptedAnswersStillDeliverEveryByteExactlyOnce) {
    StationPair pair(
        nullptr,
        [](velksim::SimulatorOptions& o) {
            for (auto& modem : o.modems) {
                modem.faults.dropProbability = 0.02;
                modem.faults.corruptEveryNth = 50;
                modem.faults.lateEveryNth = 25;
            }
            o.seed = 7;
        },
        20.0);
    Station& a = pair.a;
    Station& b = pair.b;
    ASSERT_TRUE(pair.Connect());
    ASSERT_TRUE(pair.Call());

    const std::string text = NumberedLines(5000);
    for (std::size_t at = 0; at < text.size(); at += 500) {
        ASSERT_TRUE(a.session.QueueData(ToBytes(text.substr(at, 500)), OutboundKind::TransmitText));
    }
    const auto received = [&] { return b.Shown(HostOutputKind::ReceivedText); };
    const auto echoed = [&] { return a.Shown(HostOutputKind::EchoText); };
    ASSERT_TRUE(Eventually(
        [&] { return received().size() >= text.size() && echoed().size() >= text.size(); }, 60s));
    // Compared as booleans: a mismatch of 5,000 bytes is unreadable in full.
    EXPECT_TRUE(received() == text) << received().size() << " bytes received";
    EXPECT_TRUE(echoed() == text) << echoed().size() << " bytes echoed";

    const auto seen = pair.sim->modem(0).counters();
    EXPECT_GT(seen.answersDropped + seen.answersCorrupted, 0u);
    EXPECT_GT(seen.repetitions, 0u);
    EXPECT_GT(pair.sim->modem(1).counters().answersLate, 0u);
    EXPECT_EQ(a.Errors() + b.Errors(), 0u);
    a.session.Disconnect(false);
    b.session.Disconnect(false);
}

TEST(FaultsE2E, ModemThatDropsTheConnectionEndsTheWorkerWithTheTransportsText) {
    for (const bool pty : {false, true}) {
        SCOPED_TRACE(pty ? "pseudo-terminal hung up" : "TCP closed by the modem");
        SimLog log;
        auto sim = StartSimulator({"AB1CD"}, log,
                                  [&](velksim::SimulatorOptions& o) { o.modems[0].pty = pty; });
        Station station;
        ASSERT_TRUE(station.Connect(sim->modem(0), pty));
        sim->modem(0).faults().closeAtRequest =
            static_cast<std::uint32_t>(sim->modem(0).counters().requestsTotal + 2);
        const auto failure = station.sink.WaitFor(IsKind(UiEventKind::HostErrorEvent), 5s);
        ASSERT_TRUE(failure && failure->errorText());
        if (pty) {
            EXPECT_EQ(failure->errorText()->rfind("COM read failed: ", 0), 0u)
                << *failure->errorText();
        } else {
            EXPECT_EQ(*failure->errorText(), "The modem closed the Telnet connection");
        }
        EXPECT_EQ(station.Errors(), 1u);
        EXPECT_TRUE(station.session.Disconnect(false));
        EXPECT_FALSE(station.session.HasTransport());
    }
}

using RefusedData = OneModem;

TEST_F(RefusedData, IsOfferedAgainWhileTheLinkLastsThenDropped) {
    station.settings.refusedDataLimit = 4s;
    ASSERT_TRUE(station.Connect(modem));
    ASSERT_TRUE(station.Broadcast());

    modem.faults().rejectData = true;
    ASSERT_TRUE(station.session.QueueData(ToBytes("hi\r\n"), OutboundKind::TransmitText));
    ASSERT_TRUE(Eventually([&] { return modem.counters().dataFramesRejected >= 3; }, 5s));
    modem.faults().rejectData = false;
    ASSERT_TRUE(Eventually([&] { return modem.counters().dataBytesAccepted == 4; }, 5s));
    const char* const kRejected = "*** HOSTMODE ERROR: DATA REJECTED\r\n";
    EXPECT_EQ(station.Shown(HostOutputKind::ReceivedText), kRejected);

    // A text file is sent once the modem has sent it, not when it has taken it.
    modem.faults().reportFramesWaiting = 3;
    station.session.fileSendActive = true;
    ASSERT_TRUE(station.session.QueueData(ToBytes("file"), OutboundKind::TextFile));
    ASSERT_TRUE(station.sink.WaitFor(IsKind(UiEventKind::FileSendProgressEvent), 3s));
    EXPECT_FALSE(station.sink.WaitFor(IsKind(UiEventKind::FileSendFinishedEvent), 500ms));
    modem.faults().reportFramesWaiting = -1;
    ASSERT_TRUE(station.sink.WaitFor(IsKind(UiEventKind::FileSendFinishedEvent), 3s));

    // Refused beyond the limit: a text file send ends with its reason.
    const std::size_t mark = station.sink.Size();
    modem.faults().rejectData = true;
    station.session.fileSendActive = true;
    ASSERT_TRUE(station.session.QueueData(ToBytes("file"), OutboundKind::TextFile));
    ASSERT_TRUE(station.sink.WaitFor(IsKind(UiEventKind::FileSendFinishedEvent), 10s, mark));
    EXPECT_EQ(
        station.session.FileResult(),
        std::make_pair(std::string("Text file transfer ended: the modem refused the data"), true));
    const std::string dropped = "*** Queued data dropped: the modem kept refusing it\r\n";
    EXPECT_EQ(station.Shown(HostOutputKind::ReceivedText),
              std::string(kRejected) + kRejected + dropped);
    EXPECT_TRUE(station.session.WithQueues([](HostQueues& q) { return q.outboundQueue.empty(); }));
    EXPECT_EQ(modem.counters().dataBytesAccepted, 8u);

    EXPECT_EQ(station.Errors(), 0u);
    EXPECT_TRUE(station.session.Disconnect(true));
    EXPECT_FALSE(modem.inHostmode());
}

}  // namespace
}  // namespace corvina::testing
