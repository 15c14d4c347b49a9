#include <gtest/gtest.h>

#include "cvfile/crc32.h"
#include "station_harness.h"

namespace corvina {
namespace {

using testing::Bytes;
using testing::WaitUntil;
using namespace std::chrono_literals;

using TextFileSend = testing::TwoStations;

std::vector<std::uint64_t> TextProgress(const std::vector<UiEvent>& events) {
    std::vector<std::uint64_t> percents;
    for (const UiEvent& e : events) {
        if (e.kind == UiEventKind::FileSendProgressEvent) {
            EXPECT_EQ(e.lParam, 0);
            percents.push_back(e.wParam);
        }
    }
    return percents;
}

TEST_F(TextFileSend, GoesOutInThreePiecesWithProgressAndArrivesAsText) {
    Bytes content;
    while (content.size() < 600) {
        const std::string line =
            "CQ CQ de DK1AAA, the file line " + std::to_string(content.size()) + "\r";
        content.insert(content.end(), line.begin(), line.end());
    }
    content.resize(600);
    const auto result = a.transfers().StartTextFileSend(a.folder.Write("cq.txt", content));
    ASSERT_EQ(result.outcome, FileTransfers::StartOutcome::Started);
    ASSERT_TRUE(a.sink.WaitFor(testing::IsKind(UiEventKind::FileSendFinishedEvent), 15s));
    EXPECT_EQ(TextProgress(a.sink.Events()), (std::vector<std::uint64_t>{42, 85, 100}));
    EXPECT_EQ(a.sink.WaitFor(testing::IsKind(UiEventKind::FileSendFinishedEvent), 0s)->wParam, 1u);
    a.transfers().EndFileSend();
    EXPECT_EQ(a.session().FileResult(), std::make_pair(std::string(), false));
    const std::string expected(content.begin(), content.end());
    EXPECT_TRUE(WaitUntil(
        [&] {
            return testing::JoinedOutput(b.sink.Events(), HostOutputKind::ReceivedText)
                       .find(expected) != std::string::npos;
        },
        15s));
}

TEST_F(TextFileSend, EmptyFilesEndAtOnceAndZeroBytesGoOutUnchanged) {
    ASSERT_EQ(a.transfers().StartTextFileSend(a.folder.Write("empty.txt", {})).outcome,
              FileTransfers::StartOutcome::Started);
    const auto finished = a.sink.WaitFor(testing::IsKind(UiEventKind::FileSendFinishedEvent), 5s);
    ASSERT_TRUE(finished);
    EXPECT_EQ(finished->wParam, 1u);
    a.transfers().EndFileSend();
    EXPECT_EQ(a.session().FileResult(), std::make_pair(std::string(), false));

    const std::uint64_t before = sim.modem(0).counters().dataBytesAccepted;
    const Bytes withZero = {'a', 'b', 0x00, 'c', 'd', '\r'};
    const std::size_t mark = a.sink.Size();
    ASSERT_EQ(a.transfers().StartTextFileSend(a.folder.Write("zero.txt", withZero)).outcome,
              FileTransfers::StartOutcome::Started);
    ASSERT_TRUE(a.sink.WaitFor(testing::IsKind(UiEventKind::FileSendFinishedEvent), 10s, mark));
    a.transfers().EndFileSend();
    EXPECT_EQ(sim.modem(0).counters().dataBytesAccepted - before, withZero.size());
    EXPECT_TRUE(WaitUntil(
        [&] {
            return testing::JoinedOutput(b.sink.Events(), HostOutputKind::ReceivedText)
                       .find("ab") != std::string::npos;
        },
        10s));
}

class BroadcastTextFileSend : public testing::TwoStations {
  protected:
    BroadcastTextFileSend() : TwoStations(4, false) {}
};

TEST_F(BroadcastTextFileSend, EndingTheBroadcastStopsTheSendWithoutAnError) {
    a.Command("#UNPROTO 1");
    ASSERT_TRUE(WaitUntil([&] { return a.session().linkCanSend.load(); }, 10s));
    EXPECT_EQ(a.transfers().StartBinaryFileSend(a.folder.Write("b.bin", Bytes{1})).outcome,
              FileTransfers::StartOutcome::NotAllowed);
    const auto result =
        a.transfers().StartTextFileSend(a.folder.Write("long.txt", Bytes(4000, 'x')));
    ASSERT_EQ(result.outcome, FileTransfers::StartOutcome::Started);
    ASSERT_TRUE(a.sink.WaitFor(testing::IsKind(UiEventKind::FileSendProgressEvent), 10s));
    a.session().RequestEndBroadcast();
    EXPECT_FALSE(a.session().fileSendActive);
    EXPECT_EQ(a.session().FileResult(), std::make_pair(std::string(), false));
    ASSERT_TRUE(WaitUntil(
        [&] {
            return a.session().WithQueues([](HostQueues& q) { return q.outboundQueue.empty(); });
        },
        5s));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(a.sink.Count(testing::IsKind(UiEventKind::FileSendFinishedEvent)), 0u);
    EXPECT_EQ(a.sink.Count(testing::IsKind(UiEventKind::HostErrorEvent)), 0u);
}

class NoisyBinaryTransfer : public testing::TwoStations {
  protected:
    void SetUp() override {
        TwoStations::SetUp();
        for (std::size_t i = 0; i < 2; ++i) {
            sim.modem(i).faults().dropProbability = 0.02;
            sim.modem(i).faults().corruptEveryNth = 50;
            sim.modem(i).faults().lateEveryNth = 60;
        }
    }
};

TEST_F(NoisyBinaryTransfer, SurvivesLostLateAndCorruptedAnswers) {
    Bytes content;
    const Bytes noise = testing::RandomBytes(100 * 1024, 11);
    for (std::uint8_t b : noise) {
        content.push_back(static_cast<std::uint8_t>('a' + b % 4));
    }
    const auto verdict = SendFile(a, b, "noisy.txt", content, 90s);
    ASSERT_TRUE(verdict.has_value());
    EXPECT_EQ(verdict->result, static_cast<std::uint8_t>(cvfile::ResultCode::CrcOk));
    EXPECT_EQ(testing::ReadFile(b.tmp() / "noisy.txt"), content);
    EXPECT_GT(sim.modem(0).counters().answersDropped + sim.modem(1).counters().answersDropped, 0u);
    EXPECT_GT(sim.modem(0).counters().answersCorrupted, 0u);
    EXPECT_GT(sim.modem(1).counters().answersLate, 0u);
    EXPECT_EQ(b.sink.Count(testing::IsKind(UiEventKind::HostErrorEvent)), 0u);
}

}  // namespace
}  // namespace corvina
