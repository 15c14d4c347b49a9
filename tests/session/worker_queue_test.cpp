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

void QueueFile(SessionHarness& h, const Bytes& file, OutboundKind kind) {
    h.session.fileSendActive = true;
    h.session.WithQueues([&](HostQueues& q) {
        q.sendTotalBytes = file.size();
        q.outboundQueue.push_back(OutboundItem{file, 0, kind});
    });
    h.session.WakeWorker();
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

    // Queued commands reach the modem unchanged, without CR, in order.
    ASSERT_TRUE(h.WaitForCommand("CONNECT"));
    std::vector<std::string> sent;
    for (const auto& r : h.Requests([](const HostRequest& r) { return r.channel == 4; })) {
        const std::string text = r.request.Text();
        if (text[0] == 'A' || text[0] == 'c' || text == "CONNECT") {
            sent.push_back(text);
        }
    }
    EXPECT_EQ(sent,
              (std::vector<std::string>{std::string(256, 'A'), "c   ab1xyz path", "CONNECT"}));
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

TEST(DataPacing, EndingABroadcastDiscardsDataAndSendsDisconnectFirst) {
    SessionHarness h;
    StartWithArqLink(h);
    Gate gate;
    h.modem.SetPendingFrames(8);  // the data waits for room in the modem
    HoldWorkerAt(h, gate, "HOLD");
    ASSERT_TRUE(h.session.QueueData(Pattern(40, 1), OutboundKind::TransmitText));
    h.session.QueueCommand(ToBytes("OLDER 1"));
    h.session.QueueCommand(ToBytes("OLDER 2"));
    h.session.RequestEndBroadcast();
    EXPECT_FALSE(h.session.linkCanSend);
    gate.open.set_value();
    ASSERT_TRUE(h.WaitForCommand("OLDER 2"));
    std::vector<std::string> commands;
    for (const auto& r : h.modem.Requests()) {
        const std::string text = r.request.Text();
        if (r.request.channel == 4 && (text == "D" || text.rfind("OLDER", 0) == 0)) {
            commands.push_back(text);
        }
    }
    EXPECT_EQ(commands, (std::vector<std::string>{"D", "OLDER 1", "OLDER 2"}));
    EXPECT_TRUE(h.DataRequests().empty());
}

TEST(DataPacing, RefusedDataKeepsTheSessionAndWaitsForTheLinkToAnswer) {
    const struct {
        const char* name;
        int refusals;        // data frames refused; -1 every one
        bool linkEnds;       // the status asked after a refusal shows no link
        bool delivered;      // the file reaches the modem in the end
        std::string result;  // the file result when the refusals end the send
    } cases[] = {
        {"the link ended", -1, true, false, ""},
        {"refused for a while", 2, false, true, ""},
        {"refused beyond the limit", -1, false, false,
         "Text file transfer ended: the modem refused the data"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SessionHarness h;
        h.settings.refusedDataLimit = 1500ms;
        StartWithArqLink(h);
        auto refused = std::make_shared<std::atomic<int>>(0);
        h.modem.SetHandler([&c, refused](const FakeModem::Request& r, Bytes& answer) {
            if (!r.request.command && (c.refusals < 0 || *refused < c.refusals)) {
                ++*refused;
                answer = ResponseFrame(4, 2, std::string("NOT CONNECTED"));
            } else if (c.linkEnds && *refused > 0 && r.request.channel == 254) {
                answer = ResponseFrame(254, 7, Bytes{0x07, 0, 0});
            }
        });
        const Bytes file = Pattern(300, 4);
        QueueFile(h, file, OutboundKind::TextFile);
        ASSERT_TRUE(h.WaitForRequests([](const HostRequest& r) { return !r.command; }));
        // A lost link ends the send in the window's clean-up instead.
        EXPECT_EQ(h.sink.WaitFor(IsKind(UiEventKind::FileSendFinishedEvent), 3s).has_value(),
                  !c.linkEnds);

        const auto requests = h.modem.Requests();
        std::vector<FakeModem::Clock::time_point> refusedAt;
        Bytes accepted;
        for (std::size_t i = 0; i < requests.size(); ++i) {
            const HostRequest& r = requests[i].request;
            if (!r.command && static_cast<int>(refusedAt.size()) < *refused) {
                refusedAt.push_back(requests[i].at);
                ASSERT_LT(i + 1, requests.size());
                EXPECT_TRUE(IsCommand(requests[i + 1], "G 3")) << "status asked at once";
            } else if (!r.command) {
                accepted.insert(accepted.end(), r.payload.begin(), r.payload.end());
            }
        }
        for (std::size_t i = 1; i < refusedAt.size(); ++i) {
            EXPECT_GE(refusedAt[i] - refusedAt[i - 1], 490ms);
        }
        EXPECT_EQ(accepted, c.delivered ? file : Bytes{});
        EXPECT_EQ(refusedAt.size() == 1, c.linkEnds);  // data for a lost link is not retried
        EXPECT_EQ(h.session.FileResult(), std::make_pair(c.result, !c.result.empty()));
        // The modem's reason once, however often it refused.
        EXPECT_EQ(JoinedOutput(h.sink.Events(), HostOutputKind::ReceivedText),
                  "*** HOSTMODE ERROR: NOT CONNECTED\r\n" +
                      std::string(c.result.empty()
                                      ? ""
                                      : "*** Queued data dropped: the modem kept refusing it\r\n"));
        EXPECT_TRUE(h.session.WithQueues([](HostQueues& q) { return q.outboundQueue.empty(); }));
        EXPECT_EQ(h.Errors(), 0u);
        EXPECT_TRUE(h.session.sessionActive());
    }
}

TEST(DataPacing, ItemWithdrawnWhileItsPieceIsSentEndsQuietly) {
    // The window cleans up a lost link while a piece is on the wire; then the
    // operator types again, or not.
    for (const Bytes& next : {ToBytes("next line\r\n"), Bytes{}}) {
        SCOPED_TRACE(next.empty() ? "queue left empty" : "another item queued");
        SessionHarness h;
        StartWithArqLink(h);
        h.modem.SetHandler([&](const FakeModem::Request& r, Bytes&) {
            if (!r.request.command && r.request.payload.size() == 256) {
                h.session.CleanUpArqLink();
                if (!next.empty()) {
                    h.session.QueueData(next, OutboundKind::TransmitText);
                }
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
