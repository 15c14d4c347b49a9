#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "cvfile/record_codec.h"
#include "fake_transfer_hooks.h"
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
    ASSERT_TRUE(h.StartAndWaitActive()) << h.startError;
    using Outcome = HostSession::SubmitOutcome;
    struct Case {
        std::string line;
        Outcome outcome;
        bool connect;
    };
    const Case cases[] = {
        {std::string(256, 'A') + "\r\n", Outcome::Queued, false},
        {std::string(257, 'A'), Outcome::TooLong, false},
        {"\r\n", Outcome::Ignored, false},
        {"", Outcome::Ignored, false},
        {"c   ab1xyz path", Outcome::Queued, true},
        {"CONNECT", Outcome::Queued, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const auto result = h.session.SubmitCommand(ToBytes(c.line));
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.connectRequested, c.connect);
    }
    EXPECT_EQ(h.session.linkState.load(), 1);
    EXPECT_EQ(h.session.ConnectedPeer(), "AB1XYZ");

    // Queued commands reach the modem unchanged, without CR, in order.
    ASSERT_TRUE(h.modem.WaitForRequest(
        [](const FakeModem::Request& r) { return IsCommand(r, "CONNECT"); }, 3s));
    std::vector<std::string> sent;
    for (const auto& r : h.modem.Requests()) {
        const std::string text = r.request.Text();
        if (r.request.channel == 4 && (text[0] == 'A' || text[0] == 'c' || text == "CONNECT")) {
            sent.push_back(text);
        }
    }
    EXPECT_EQ(sent,
              (std::vector<std::string>{std::string(256, 'A'), "c   ab1xyz path", "CONNECT"}));
}

TEST(SubmitCommand, DoesNothingWithoutASession) {
    SessionHarness h;
    EXPECT_EQ(h.session.SubmitCommand(ToBytes("I")).outcome, HostSession::SubmitOutcome::Ignored);
    EXPECT_TRUE(h.session.WithQueues([](HostQueues& q) { return q.commandQueue.empty(); }));
}

TEST(DataPacing, LongItemGoesOutIn256BytePiecesAfterSeparateLinkQueries) {
    SessionHarness h;
    StartWithArqLink(h);
    const Bytes data = Pattern(600, 3);
    ASSERT_TRUE(h.session.QueueData(data, OutboundKind::TransmitText));
    for (int i = 0; i < 300 && h.modem.DataLog().size() < data.size(); ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(h.modem.DataLog(), data);

    // Each piece follows its own "L"; the "L" queries are at least 100 ms apart.
    std::vector<std::size_t> pieces;
    std::vector<FakeModem::Clock::time_point> queries;
    std::size_t piecesSinceQuery = 0;
    for (const auto& r : h.modem.Requests()) {
        if (IsCommand(r, "L")) {
            queries.push_back(r.at);
            piecesSinceQuery = 0;
        } else if (!r.request.command) {
            pieces.push_back(r.request.payload.size());
            EXPECT_EQ(++piecesSinceQuery, 1u);
        }
    }
    EXPECT_EQ(pieces, (std::vector<std::size_t>{256, 256, 88}));
    ASSERT_EQ(queries.size(), 3u);
    EXPECT_GE(queries[1] - queries[0], 95ms);
    EXPECT_GE(queries[2] - queries[1], 95ms);
}

TEST(DataPacing, PendingOutputIsStillPolledWhileDataFlowsOnTcp) {
    SessionHarness h;
    h.settings.isTelnetLink = true;
    StartWithArqLink(h);
    const Bytes data = Pattern(2560, 1);  // ten pieces, a second of data
    ASSERT_TRUE(h.session.QueueData(data, OutboundKind::TransmitText));
    ASSERT_TRUE(Eventually([&] { return h.modem.DataLog().size() == data.size(); }, 5s));
    std::size_t piecesSeen = 0;
    std::size_t pollsDuringData = 0;
    for (const auto& r : h.modem.Requests()) {
        piecesSeen += r.request.command ? 0 : 1;
        const bool pendingPoll = r.request.channel == 255 && IsCommand(r, "G");
        pollsDuringData += pendingPoll && piecesSeen > 0 && piecesSeen < 10 ? 1 : 0;
    }
    EXPECT_GE(pollsDuringData, 1u);
}

TEST(DataPacing, SmallItemsShareOneLinkQueryAndAFullModemPausesData) {
    SessionHarness h;
    StartWithArqLink(h);
    h.modem.SetPendingFrames(8);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(h.session.QueueData(Pattern(10, static_cast<std::uint8_t>(i)),
                                        OutboundKind::TransmitText));
    }
    // While the modem reports 8 frames waiting, "L" is asked every 500 ms only.
    ASSERT_TRUE(
        h.modem.WaitForRequest([](const FakeModem::Request& r) { return IsCommand(r, "L"); }, 3s));
    std::this_thread::sleep_for(1100ms);
    const auto held = h.RequestsWithText("L");
    ASSERT_GE(held.size(), 2u);
    ASSERT_LE(held.size(), 4u);
    for (std::size_t i = 1; i < held.size(); ++i) {
        EXPECT_GE(held[i].at - held[i - 1].at, 490ms);
    }
    EXPECT_TRUE(h.DataRequests().empty());

    h.modem.SetPendingFrames(0);
    for (int i = 0; i < 200 && h.modem.DataLog().size() < 30; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(h.modem.DataLog().size(), 30u);
    const auto requests = h.modem.Requests();
    std::size_t lastQuery = 0;
    std::vector<std::size_t> dataAt;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        if (IsCommand(requests[i], "L"))
            lastQuery = i;
        if (!requests[i].request.command)
            dataAt.push_back(i);
    }
    ASSERT_EQ(dataAt.size(), 3u);
    EXPECT_EQ(dataAt[0], lastQuery + 1);
    EXPECT_EQ(dataAt[1], dataAt[0] + 1);
    EXPECT_EQ(dataAt[2], dataAt[1] + 1);
}

TEST(DataPacing, EndingABroadcastDiscardsDataAndSendsDisconnectFirst) {
    SessionHarness h;
    StartWithArqLink(h);
    Gate gate;
    h.modem.SetHandler([&gate](const FakeModem::Request& r, Bytes&) {
        if (IsCommand(r, "HOLD") && !r.repeated)
            gate.Wait();
    });
    h.modem.SetPendingFrames(8);  // the data waits for room in the modem
    h.session.QueueCommand(ToBytes("HOLD"));
    gate.WaitReached();
    ASSERT_TRUE(h.session.QueueData(Pattern(40, 1), OutboundKind::TransmitText));
    h.session.QueueCommand(ToBytes("OLDER 1"));
    h.session.QueueCommand(ToBytes("OLDER 2"));
    h.session.RequestEndBroadcast();
    EXPECT_FALSE(h.session.linkCanSend);
    gate.Open();
    ASSERT_TRUE(h.modem.WaitForRequest(
        [](const FakeModem::Request& r) { return IsCommand(r, "OLDER 2"); }, 3s));

    std::vector<std::string> commands;
    bool afterHold = false;
    for (const auto& r : h.modem.Requests()) {
        const std::string text = r.request.Text();
        if (text == "HOLD")
            afterHold = true;
        if (afterHold && r.request.channel == 4 && (text == "D" || text.rfind("OLDER", 0) == 0)) {
            commands.push_back(text);
        }
    }
    EXPECT_EQ(commands, (std::vector<std::string>{"D", "OLDER 1", "OLDER 2"}));
    EXPECT_TRUE(h.DataRequests().empty());
}

TEST(DataPacing, RefusedDataKeepsTheSessionAndWaitsForTheLinkToAnswer) {
    const char* const kDropped = "*** Queued data dropped: the modem kept refusing it\r\n";
    struct Case {
        const char* name;
        int refusals;        // data frames refused; -1 every one
        bool linkEnds;       // the status asked after a refusal shows no link
        bool delivered;      // the file reaches the modem in the end
        std::string result;  // the file result when the refusals end the send
    };
    const Case cases[] = {
        {"the link ended", -1, true, false, ""},
        {"refused for a while", 2, false, true, ""},
        {"refused beyond the limit", -1, false, false,
         "Text file transfer ended: the modem refused the data"},
    };
    for (const Case& c : cases) {
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
        h.session.fileSendActive = true;
        h.session.WithQueues([&](HostQueues& q) {
            q.sendTotalBytes = file.size();
            q.outboundQueue.push_back(OutboundItem{file, 0, OutboundKind::TextFile});
        });
        h.session.WakeWorker();
        ASSERT_TRUE(h.modem.WaitForRequest([](const auto& r) { return !r.request.command; }, 3s));
        const bool finished =
            h.sink.WaitFor(IsKind(UiEventKind::FileSendFinishedEvent), 3s).has_value();
        EXPECT_EQ(finished, !c.linkEnds);  // a lost link ends the send in the window's clean-up

        const auto requests = h.modem.Requests();
        std::vector<FakeModem::Clock::time_point> refusedAt;
        Bytes accepted;
        for (std::size_t i = 0; i < requests.size(); ++i) {
            if (requests[i].request.command) {
                continue;
            }
            if (static_cast<int>(refusedAt.size()) < *refused) {
                refusedAt.push_back(requests[i].at);
                ASSERT_LT(i + 1, requests.size());
                EXPECT_TRUE(IsCommand(requests[i + 1], "G 3")) << "status asked at once";
            } else {
                accepted.insert(accepted.end(), requests[i].request.payload.begin(),
                                requests[i].request.payload.end());
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
                      std::string(c.result.empty() ? "" : kDropped));
        EXPECT_TRUE(h.session.WithQueues([](HostQueues& q) { return q.outboundQueue.empty(); }));
        EXPECT_EQ(h.sink.Count(IsKind(UiEventKind::HostErrorEvent)), 0u);
        EXPECT_TRUE(h.session.sessionActive());
    }
}

TEST(DataPacing, TextFileReportsProgressAndItsEnd) {
    SessionHarness h;
    StartWithArqLink(h);
    const Bytes file = Pattern(600, 9);
    h.session.WithQueues([&](HostQueues& q) {
        q.sendTotalBytes = file.size();
        q.sendSentBytes = 0;
        q.outboundQueue.push_back(OutboundItem{file, 0, OutboundKind::TextFile});
    });
    h.session.WakeWorker();
    ASSERT_TRUE(h.sink.WaitFor(IsKind(UiEventKind::FileSendFinishedEvent), 3s));
    std::vector<std::uint64_t> percents;
    for (const UiEvent& e : h.sink.Events()) {
        if (e.kind == UiEventKind::FileSendProgressEvent) {
            EXPECT_EQ(e.lParam, 0);
            percents.push_back(e.wParam);
        }
        if (e.kind == UiEventKind::FileSendFinishedEvent) {
            EXPECT_EQ(e.wParam, 1u);
        }
    }
    EXPECT_EQ(percents, (std::vector<std::uint64_t>{42, 85, 100}));
    EXPECT_EQ(h.modem.DataLog(), file);
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
        EXPECT_EQ(h.sink.Count(IsKind(UiEventKind::HostErrorEvent)), 0u);
    }
}

TEST(DataPacing, EmptyItemIsCompletedWithoutAFrame) {
    SessionHarness h;
    StartWithArqLink(h);
    h.session.WithQueues([](HostQueues& q) {
        q.outboundQueue.push_back(OutboundItem{{}, 0, OutboundKind::BinaryFile});
    });
    ASSERT_TRUE(h.session.QueueData(ToBytes("after\r\n"), OutboundKind::TransmitText));
    ASSERT_TRUE(h.sink.WaitFor(IsKind(UiEventKind::FileSendFinishedEvent), 3s));
    for (int i = 0; i < 200 && h.modem.DataLog().size() < 7; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(ToString(h.modem.DataLog()), "after\r\n");
    EXPECT_EQ(h.DataRequests().size(), 1u);
    EXPECT_EQ(h.sink.Count(IsKind(UiEventKind::HostErrorEvent)), 0u);
}

TEST(Changeover, PromptGoesOutThenTheChangeoverCommand) {
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
    ASSERT_TRUE(
        h.modem.WaitForRequest([](const FakeModem::Request& r) { return IsCommand(r, "%O"); }, 3s));
    EXPECT_EQ(ToString(h.modem.DataLog()), "XY2Z de AB1CD>\r\n");
    EXPECT_FALSE(h.session.changeoverPending);

    h.session.SetConnectedPeer("");
    EXPECT_EQ(h.session.QueueChangeoverPrompt().outcome, HostSession::ChangeoverOutcome::NotQueued);
    EXPECT_FALSE(h.session.changeoverPending);
}

TEST(BinaryCancel, WithdrawsQueuedRecordsClosesAHalfSentOneAndQueuesCancel) {
    FakeTransferHooks hooks;
    SessionHarness h(4, &hooks);
    StartWithArqLink(h);
    h.modem.SetPendingFrames(8);
    cvfile::TransferRecord start;
    start.type = cvfile::RecordType::Start;
    start.transferId = 77;
    start.payload = ToBytes("file.bin");
    const Bytes framed = cvfile::EncodeRecord(start);
    h.session.WithQueues([&](HostQueues& q) {
        q.outboundQueue.push_back(OutboundItem{framed, 5, OutboundKind::BinaryFile});
        q.outboundQueue.push_back(OutboundItem{ToBytes("hi"), 0, OutboundKind::TransmitText});
        q.outboundQueue.push_back(OutboundItem{framed, 0, OutboundKind::BinaryFile});
    });
    hooks.outgoingId = 77;
    h.session.binarySendActive = true;
    h.session.RequestBinaryCancel();

    cvfile::TransferRecord cancel;
    cancel.type = cvfile::RecordType::Cancel;
    cancel.transferId = 77;
    Bytes expected{0x00};
    const Bytes cancelBytes = cvfile::EncodeRecord(cancel);
    expected.insert(expected.end(), cancelBytes.begin(), cancelBytes.end());
    bool done = false;
    for (int i = 0; i < 300 && !done; ++i) {
        done = h.session.WithQueues([&](HostQueues& q) {
            return q.outboundQueue.size() == 2 && q.outboundQueue.back().bytes == expected;
        });
        if (!done)
            std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(done);
    h.session.WithQueues([](HostQueues& q) {
        EXPECT_EQ(q.outboundQueue.front().kind, OutboundKind::TransmitText);
        EXPECT_EQ(q.outboundQueue.back().kind, OutboundKind::TransferControl);
    });
    EXPECT_FALSE(h.session.binaryCancelRequested);
}

}  // namespace
}  // namespace corvina::testing
