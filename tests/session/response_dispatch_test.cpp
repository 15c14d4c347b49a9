#include <gtest/gtest.h>

#include "cvfile/record_codec.h"
#include "fake_transfer_hooks.h"
#include "session_harness.h"

namespace corvina::testing {
namespace {

// Queues one answer for the link channel plus a marker text after it and waits
// until the marker has been shown, so everything before it was dispatched.
void Deliver(SessionHarness& h, std::uint8_t code, const std::string& text, int mark) {
    h.modem.QueueLinkOutput(code, ToBytes(text));
    const std::string marker = "mark " + std::to_string(mark);
    h.modem.QueueLinkOutput(1, ToBytes(marker));
    ASSERT_TRUE(h.sink.WaitFor(IsOutputContaining(HostOutputKind::ReceivedText, marker), 3s));
}

std::vector<std::string> ShownTexts(const SessionHarness& h) {
    std::vector<std::string> shown;
    for (const UiEvent& event : h.sink.Events()) {
        const HostOutput* output = event.hostOutput();
        if (output == nullptr || (output->kind != HostOutputKind::ReceivedText &&
                                  output->kind != HostOutputKind::LinkMessage)) {
            continue;
        }
        const std::string text = ToString(output->bytes);
        if (text.rfind("mark ", 0) == 0) {
            continue;
        }
        shown.push_back((output->kind == HostOutputKind::LinkMessage ? "link:" : "text:") + text);
    }
    return shown;
}

TEST(ResponseDispatch, AnswersBecomeTextErrorsAndLinkStateChanges) {
    SessionHarness h;
    ASSERT_TRUE(h.StartAndWaitActive()) << h.startError;

    struct Step {
        std::uint8_t code;
        std::string text;
        std::uint8_t linkStateAfter;
        std::string peerAfter;
    };
    const Step steps[] = {
        {1, "hello", 0, ""},
        {2, "UNKNOWN COMMAND", 0, ""},
        {1, "", 0, ""},
        {3, "*** DISCONNECTED fm", 0, ""},  // not shown: no ARQ link
        {3, "*** CONNECTED to ab1xyz", 1, "AB1XYZ"},
        {3, "*** LINK RESET", 1, "AB1XYZ"},
        {3, "*** DISCONNECTED fm", 0, ""},
        {3, "*** LINK RESET", 0, ""},  // not shown without a link
        {3, "*** CONNECTED to UNPROTO", 2, ""},
        {3, "*** DISCONNECTED fm", 0, ""},  // not shown: was a broadcast
        {4, "four", 0, ""},
        {5, "five", 0, ""},
    };
    int mark = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.text);
        Deliver(h, step.code, step.text, ++mark);
        EXPECT_EQ(h.session.linkState.load(), step.linkStateAfter);
        EXPECT_EQ(h.session.ConnectedPeer(), step.peerAfter);
    }
    EXPECT_EQ(ShownTexts(h), (std::vector<std::string>{
                                 "text:hello\r\n",
                                 "text:*** HOSTMODE ERROR: UNKNOWN COMMAND\r\n",
                                 "link:*** CONNECTED to ab1xyz\r\n",
                                 "link:*** LINK RESET\r\n",
                                 "link:*** DISCONNECTED fm\r\n",
                                 "text:four\r\n",
                                 "text:five\r\n",
                             }));
}

cvfile::TransferRecord Record(cvfile::RecordType type, std::uint64_t id,
                              const std::string& payload = "") {
    cvfile::TransferRecord record;
    record.type = type;
    record.transferId = id;
    record.payload = ToBytes(payload);
    return record;
}

TEST(ResponseDispatch, ChannelDataSplitsIntoTextAndRecordsPerStream) {
    FakeTransferHooks hooks;
    SessionHarness h(4, &hooks);
    StartWithArqLink(h);

    const Bytes start = cvfile::EncodeRecord(Record(cvfile::RecordType::Start, 7, "a.txt"));
    const Bytes end = cvfile::EncodeRecord(Record(cvfile::RecordType::End, 7));
    const Bytes result = cvfile::EncodeRecord(Record(cvfile::RecordType::Result, 8, "\x01"));

    Bytes received = ToBytes("ab");
    received.insert(received.end(), start.begin(), start.end());
    received.insert(received.end(), {'c', 'd'});
    h.modem.QueueLinkOutput(7, received);
    // A record split across two frames of the received stream.
    h.modem.QueueLinkOutput(7, Bytes(end.begin(), end.begin() + 10));
    h.modem.QueueLinkOutput(7, Bytes(end.begin() + 10, end.end()));
    // The echo stream: text and a record that must not reach the receiver.
    Bytes echoed = ToBytes("sent ");
    echoed.insert(echoed.end(), result.begin(), result.end());
    h.modem.QueueLinkOutput(8, echoed);
    h.modem.QueueLinkOutput(1, ToBytes("mark"));
    ASSERT_TRUE(h.sink.WaitFor(IsOutputContaining(HostOutputKind::ReceivedText, "mark"), 3s));

    const auto events = h.sink.Events();
    EXPECT_EQ(JoinedOutput(events, HostOutputKind::ReceivedText), "abcdmark\r\n");
    EXPECT_EQ(JoinedOutput(events, HostOutputKind::EchoText), "sent ");
    const auto calls = hooks.Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].what, "Start");
    EXPECT_EQ(calls[0].record.payload, ToBytes("a.txt"));
    EXPECT_EQ(calls[1].what, "End");
    EXPECT_EQ(calls[2].what, "Delayed");
    EXPECT_EQ(calls[2].record.type, cvfile::RecordType::Result);

    // Records fetched after the link ended reach no transfer, and one cut off
    // by the end of the link does not swallow the first of the next link.
    h.modem.SetStatus(0x07, 0, 0);
    ASSERT_TRUE(Eventually([&] { return !h.session.arqConnected; }));
    h.modem.QueueLinkOutputs({{7, start}, {7, Bytes(start.begin(), start.begin() + 5)}}, false);
    h.modem.QueueLinkOutputs({{3, ToBytes("*** DISCONNECTED fm AB1XYZ")}}, true);
    ASSERT_TRUE(h.sink.WaitFor(IsOutputContaining(HostOutputKind::LinkMessage, "DISCONN"), 3s));
    h.modem.SetStatus(0x23, 3, 1);
    ASSERT_TRUE(Eventually([&] { return h.session.arqConnected.load(); }));
    h.modem.QueueLinkOutputs({{7, end}, {1, ToBytes("mark 2")}}, false);
    ASSERT_TRUE(h.sink.WaitFor(IsOutputContaining(HostOutputKind::ReceivedText, "mark 2"), 3s));
    const auto later = hooks.Calls();
    ASSERT_EQ(later.size(), 4u);
    EXPECT_EQ(later[3].what, "End");
}

TEST(ResponseDispatch, StatusPollSetsLinkFlagsAndTrimsTheQueue) {
    SessionHarness h;
    ASSERT_TRUE(h.StartAndWaitActive()) << h.startError;
    h.modem.SetPendingFrames(8);  // hold all data in the queue

    const auto waitStatus = [&](std::uint8_t status, std::uint8_t level) {
        const std::size_t from = h.sink.Size();
        h.modem.SetStatus(status, level, 0);
        return h.sink
            .WaitFor(
                [status](const UiEvent& e) {
                    const HostOutput* o = e.hostOutput();
                    return o != nullptr && o->kind == HostOutputKind::StatusBytes &&
                           o->bytes.size() == 3 && o->bytes[0] == status;
                },
                3s, from)
            .has_value();
    };

    ASSERT_TRUE(waitStatus(0x23, 3));  // ARQ link
    EXPECT_TRUE(h.session.arqConnected);
    EXPECT_TRUE(h.session.linkCanSend);
    EXPECT_EQ(h.session.linkState.load(), 1);
    ASSERT_TRUE(h.session.QueueData(ToBytes("text"), OutboundKind::TransmitText));
    ASSERT_TRUE(h.session.QueueData(ToBytes("file"), OutboundKind::BinaryFile));
    ASSERT_TRUE(h.session.QueueData(ToBytes("over"), OutboundKind::ChangeoverText));

    ASSERT_TRUE(waitStatus(0x4B, 1));  // S1 FEC transmission
    EXPECT_FALSE(h.session.arqConnected);
    EXPECT_TRUE(h.session.linkCanSend);
    EXPECT_EQ(h.session.linkState.load(), 2);
    EXPECT_EQ(h.session.WithQueues([](HostQueues& q) {
        std::vector<OutboundKind> kinds;
        for (const auto& item : q.outboundQueue)
            kinds.push_back(item.kind);
        return kinds;
    }),
              std::vector<OutboundKind>{OutboundKind::TransmitText});
    EXPECT_FALSE(h.session.QueueData(ToBytes("file"), OutboundKind::BinaryFile));

    ASSERT_TRUE(waitStatus(0x07, 0));  // no link
    EXPECT_FALSE(h.session.arqConnected);
    EXPECT_FALSE(h.session.linkCanSend);
    EXPECT_TRUE(h.session.transferAbortRequested);
    EXPECT_TRUE(h.session.WithQueues([](HostQueues& q) { return q.outboundQueue.empty(); }));
    EXPECT_FALSE(h.session.QueueData(ToBytes("text"), OutboundKind::TransmitText));
}

TEST(ResponseDispatch, PendingOutputPollsStatusFirstThenAtMost64LinkPolls) {
    SessionHarness h;
    ASSERT_TRUE(h.StartAndWaitActive()) << h.startError;
    const std::size_t before = h.modem.Requests().size();
    std::vector<std::pair<std::uint8_t, Bytes>> lines;
    for (int i = 0; i < 70; ++i) {
        lines.emplace_back(1, ToBytes("line " + std::to_string(i)));
    }
    h.modem.QueueLinkOutputs(lines, true);
    ASSERT_TRUE(h.sink.WaitFor(IsOutputContaining(HostOutputKind::ReceivedText, "line 69"), 5s));
    const auto isPendingPoll = [](const FakeModem::Request& r) { return r.request.channel == 255; };
    std::size_t polls = 0;
    for (const auto& r : h.modem.Requests())
        polls += isPendingPoll(r) ? 1 : 0;
    ASSERT_TRUE(h.modem.WaitForRequests(isPendingPoll, polls + 1, 3s));
    h.session.Disconnect(false);

    // Group the link-channel polls by the pending-output poll before them,
    // from the first one that found the status flagged (a poll may have run
    // just before the output was queued).
    const auto requests = h.modem.Requests();
    std::vector<int> linkPolls;
    for (std::size_t i = before; i + 1 < requests.size(); ++i) {
        const auto& r = requests[i].request;
        if (linkPolls.empty()) {
            if (r.channel == 255 && requests[i + 1].request.channel == 254) {
                linkPolls.push_back(0);
            }
        } else if (r.channel == 255) {
            linkPolls.push_back(0);
        } else if (r.channel == 4 && r.Text() == "G") {
            ++linkPolls.back();
        }
    }
    ASSERT_GE(linkPolls.size(), 2u);
    EXPECT_EQ(linkPolls[0], 64);
    EXPECT_EQ(linkPolls[1], 7);  // the 6 left, then the empty answer
}

}  // namespace
}  // namespace corvina::testing
