#include <gtest/gtest.h>

#include "session_harness.h"

namespace corvina::testing {
namespace {

Bytes Pattern(std::size_t size, std::uint8_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    }
    return bytes;
}

TEST(SubmitCommand, ChecksLengthStripsLineEndsAndNotesConnectRequests) {
    SessionHarness h;
    EXPECT_EQ(h.session.SubmitCommand(ToBytes("I")).outcome, HostSession::SubmitOutcome::Ignored);
    ASSERT_TRUE(h.StartAndWaitActive()) << h.startError;
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
        const auto result = h.session.SubmitCommand(ToBytes(c.line));
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.connectRequested, c.connect);
    }
    EXPECT_EQ(h.session.linkState.load(), 1);
    EXPECT_EQ(h.session.ConnectedPeer(), "AB1XYZ");
}

TEST(DataPacing, FullModemIsAskedEveryHalfSecondThenEach256BytesFollowTheirOwnQuery) {
    SessionHarness h;
    h.settings.isTelnetLink = true;  // where due data once kept the pending-output poll away
    StartWithArqLink(h);
    h.modem.SetPendingFrames(8);
    Bytes all;
    for (const std::size_t size : {10, 10, 10, 2400}) {
        const Bytes item = Pattern(size, static_cast<std::uint8_t>(all.size()));
        all.insert(all.end(), item.begin(), item.end());
        ASSERT_TRUE(h.session.QueueData(item, OutboundKind::TransmitText));
    }
    ASSERT_TRUE(h.WaitForCommand("L"));
    std::this_thread::sleep_for(1100ms);
    h.modem.SetPendingFrames(0);
    ASSERT_TRUE(Eventually([&] { return h.modem.DataLog().size() == all.size(); }));
    EXPECT_EQ(h.modem.DataLog(), all);

    struct Query {
        FakeModem::Clock::time_point at;
        std::vector<std::size_t> pieces;
        std::size_t pendingPolls = 0;  // after this query
    };
    std::vector<Query> queries;
    for (const auto& r : h.modem.Requests()) {
        if (IsCommand(r, "L")) {
            queries.push_back({r.at, {}});
        } else if (!r.request.command) {
            ASSERT_FALSE(queries.empty()) << "data before any link query";
            queries.back().pieces.push_back(r.request.payload.size());
        } else if (!queries.empty() && r.request.channel == 255) {
            ++queries.back().pendingPolls;
        }
    }
    const auto first = std::find_if(queries.begin(), queries.end(),
                                    [](const Query& q) { return !q.pieces.empty(); });
    ASSERT_EQ(queries.end() - first, 10);
    EXPECT_GE(first - queries.begin(), 2);  // held while the modem was full
    for (auto q = queries.begin() + 1; q != queries.end(); ++q) {
        EXPECT_GE(q->at - (q - 1)->at, q > first ? 95ms : 490ms);
    }
    EXPECT_EQ(first->pieces, (std::vector<std::size_t>{10, 10, 10, 226}));
    std::size_t pollsDuringData = 0;
    for (auto q = first + 1; q != queries.end(); ++q) {
        EXPECT_EQ(q->pieces, std::vector<std::size_t>{q + 1 == queries.end() ? 126u : 256u});
        pollsDuringData += (q - 1)->pendingPolls;
    }
    EXPECT_GE(pollsDuringData, 1u);
}

TEST(DataPacing, ItemWithdrawnWhileItsPieceIsSentEndsQuietly) {
    // The window cleans up a lost link while a piece is on the wire; then the
    // operator types again.
    SessionHarness h;
    StartWithArqLink(h);
    const Bytes next = ToBytes("next line\r\n");
    h.modem.SetHandler([&](const FakeModem::Request& r, Bytes&) {
        if (!r.request.command && r.request.payload.size() == 256) {
            h.session.CleanUpArqLink();
            h.session.QueueData(next, OutboundKind::TransmitText);
        }
    });
    ASSERT_TRUE(h.session.QueueData(Pattern(300, 5), OutboundKind::TransmitText));
    Bytes expected = Pattern(256, 5);
    expected.insert(expected.end(), next.begin(), next.end());
    EXPECT_TRUE(Eventually([&] { return h.modem.DataLog().size() >= expected.size(); }));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(h.modem.DataLog(), expected);
    EXPECT_EQ(h.Errors(), 0u);
}

TEST(Changeover, PromptGoesOutOnceThenTheChangeoverCommand) {
    SessionHarness h;
    StartWithArqLink(h);
    h.session.SetConnectedPeer("XY2Z");
    h.modem.SetPendingFrames(8);
    const auto request = h.session.QueueChangeoverPrompt();
    ASSERT_EQ(request.outcome, HostSession::ChangeoverOutcome::PromptQueued);
    EXPECT_EQ(ToString(request.prompt), "XY2Z de AB1CD>\r\n");
    EXPECT_EQ(h.session.QueueChangeoverPrompt().outcome,
              HostSession::ChangeoverOutcome::AlreadyPending);
    h.modem.SetPendingFrames(0);
    ASSERT_TRUE(h.WaitForCommand("%O"));
    EXPECT_EQ(ToString(h.modem.DataLog()), "XY2Z de AB1CD>\r\n");
    EXPECT_FALSE(h.session.changeoverPending);

    h.session.SetConnectedPeer("");
    EXPECT_EQ(h.session.QueueChangeoverPrompt().outcome, HostSession::ChangeoverOutcome::NotQueued);
    EXPECT_FALSE(h.session.changeoverPending);
}

}  // namespace
}  // namespace corvina::testing
