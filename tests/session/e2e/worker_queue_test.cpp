#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "e2e/velksim_harness.h"

namespace corvina::testing {
namespace {

struct WorkerQueueTest : OneModem {
    void SetUp() override { ASSERT_TRUE(station.Connect(modem)); }
    // Where in `all` each data frame the modem was sent starts: velksim logs
    // the first bytes of each, which the numbered lines make unique.
    std::vector<std::size_t> PieceOffsets(const std::string& all) const {
        std::vector<std::size_t> offsets;
        for (const LoggedRequest& r : log.Requests()) {
            std::string head;
            for (std::size_t at = 0; !r.command && at + 1 < r.text.size() && r.text[at] != '.';
                 at += 3) {
                head.push_back(static_cast<char>(std::stoi(r.text.substr(at, 2), nullptr, 16)));
            }
            if (!r.command) {
                offsets.push_back(all.find(head, offsets.empty() ? 0 : offsets.back() + 1));
            }
        }
        return offsets;
    }
};

TEST_F(WorkerQueueTest, SubmitCommandChecksLengthStripsLineEndsAndNotesConnectRequests) {
    Station idle;
    EXPECT_EQ(idle.session.SubmitCommand(ToBytes("I")).outcome,
              HostSession::SubmitOutcome::Ignored);
    using Outcome = HostSession::SubmitOutcome;
    const struct {
        std::string line;
        Outcome outcome;
        bool connect;
    } cases[] = {
        {std::string(256, 'A') + "\r\n", Outcome::Queued, false},
        {std::string(257, 'A'), Outcome::TooLong, false},
        {"\r\n", Outcome::Ignored, false},
        {"c   ab1xyz path", Outcome::Queued, true},
        {"CONNECT", Outcome::Queued, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const auto result = station.session.SubmitCommand(ToBytes(c.line));
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.connectRequested, c.connect);
    }
    EXPECT_EQ(station.session.linkState.load(), 1);
    EXPECT_EQ(station.session.ConnectedPeer(), "AB1XYZ");
    // The modem's answer to the longest command, which repeats it, gets through.
    EXPECT_TRUE(station.sink.WaitFor(
        IsOutputContaining(HostOutputKind::ReceivedText, "INVALID COMMAND: AAAA"), 5s));
    EXPECT_EQ(station.Errors(), 0u);
}

TEST_F(WorkerQueueTest, FullModemIsAskedEveryHalfSecondThenEach256BytesFollowTheirOwnQuery) {
    ASSERT_TRUE(station.Broadcast());
    modem.faults().reportFramesWaiting = 8;
    std::string all;
    for (const std::size_t size : {10, 10, 10, 2400}) {
        const std::string item = NumberedLines(size, static_cast<int>(all.size()));
        all += item;
        ASSERT_TRUE(station.session.QueueData(ToBytes(item), OutboundKind::TransmitText));
    }
    ASSERT_TRUE(Eventually([&] { return modem.counters().Requests(4, "L") > 0; }));
    std::this_thread::sleep_for(1100ms);
    modem.faults().reportFramesWaiting = 0;  // the air is slower than the host on purpose
    ASSERT_TRUE(Eventually([&] { return modem.counters().dataBytesAccepted == all.size(); }, 5s));

    struct Query {
        std::chrono::steady_clock::time_point at;
        std::size_t pieces = 0;
        std::size_t pendingPolls = 0;  // after this query
    };
    std::vector<Query> queries;
    for (const LoggedRequest& r : log.Requests()) {
        if (r.command && r.text == "L") {
            queries.push_back({r.at});
        } else if (!queries.empty()) {
            queries.back().pieces += r.command ? 0 : 1;
            queries.back().pendingPolls += r.channel == 255 ? 1 : 0;
        }
    }
    const auto first =
        std::find_if(queries.begin(), queries.end(), [](const Query& q) { return q.pieces > 0; });
    ASSERT_EQ(queries.end() - first, 10);
    EXPECT_GE(first - queries.begin(), 2);  // held while the modem was full
    std::size_t pollsDuringData = 0;
    for (auto q = queries.begin() + 1; q != queries.end(); ++q) {
        EXPECT_GE(q->at - (q - 1)->at, q > first ? 95ms : 490ms);
        EXPECT_EQ(q->pieces, q == first ? 4u : q > first ? 1u : 0u);
        pollsDuringData += q > first ? (q - 1)->pendingPolls : 0;
    }
    EXPECT_GE(pollsDuringData, 1u);
    std::vector<std::size_t> expected = {0, 10, 20, 30};
    for (std::size_t at = 256; at < all.size(); at += 256) {
        expected.push_back(at);
    }
    EXPECT_EQ(PieceOffsets(all), expected);
}

// The window cleans up a lost link while a piece is on the wire; then the
// operator types again.
TEST_F(WorkerQueueTest, ItemWithdrawnWhileItsPieceIsSentEndsQuietly) {
    ASSERT_TRUE(station.Broadcast());
    const std::string next = "next line\r\n";
    log.SetHook([&, done = false](const std::string& line) mutable {
        if (!done && line.find(" < ch 4 data ") != std::string::npos) {
            done = true;
            station.session.CleanUpArqLink();
            station.session.QueueData(ToBytes(next), OutboundKind::TransmitText);
        }
    });
    const std::string withdrawn = NumberedLines(300);
    ASSERT_TRUE(station.session.QueueData(ToBytes(withdrawn), OutboundKind::TransmitText));
    EXPECT_TRUE(
        Eventually([&] { return modem.counters().dataBytesAccepted >= 256 + next.size(); }));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(modem.counters().dataBytesAccepted, 256 + next.size());
    EXPECT_EQ(PieceOffsets(withdrawn.substr(0, 256) + next), (std::vector<std::size_t>{0, 256}));
    EXPECT_EQ(station.Errors(), 0u);
}

}  // namespace
}  // namespace corvina::testing
