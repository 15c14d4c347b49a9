#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "cvfile/record_codec.h"
#include "session_harness.h"

namespace corvina::testing {
namespace {

// Counts the transfer records the session routes; nothing else is asked of it.
class CountingHooks : public TransferHooks {
  public:
    void OnStartRecord(const cvfile::TransferRecord&) override { ++records; }
    void OnDataRecord(const cvfile::TransferRecord&) override { ++records; }
    void OnEndRecord(const cvfile::TransferRecord&) override { ++records; }
    void OnResultRecord(const cvfile::TransferRecord&) override { ++records; }
    void OnCancelRecord(const cvfile::TransferRecord&) override { ++records; }
    void OnDelayedRecord(const cvfile::TransferRecord&) override { ++records; }
    std::uint64_t ActiveOutgoingTransferId() override { return 0; }
    void JoinFileSender() override {}
    void AbandonIncomingTransfer() override {}
    void ResetOutgoingTransfer() override {}
    std::atomic<std::size_t> records{0};
};

Bytes DataRecord(std::size_t size) {
    cvfile::TransferRecord data;
    data.type = cvfile::RecordType::Data;
    data.transferId = 9;
    data.payload = Bytes(size, 0x41);
    return cvfile::EncodeRecord(data);
}

// A binary record cut by the end of a link, whatever comes after it, never
// shows as text, and text that really went out shows once.
TEST(EchoAfterLinkEnd, CutRecordNeverShowsAsText) {
    const Bytes record = DataRecord(200);
    const Bytes head(record.begin(), record.begin() + 60);
    const Bytes tail(record.begin() + 60, record.end());
    const Bytes disconnected = ToBytes("*** DISCONNECTED fm AB1XYZ");

    struct Case {
        const char* name;
        std::vector<std::pair<std::uint8_t, Bytes>> afterHead;  // code 0: the status poll
        std::string echoText;
        std::size_t records;
    };
    const Case cases[] = {
        {"tail after the link message",
         {{3, disconnected}, {8, tail}, {8, ToBytes("bye")}},
         "hi bye",
         1},
        {"tail after the status poll", {{0, {}}, {8, tail}}, "hi ", 1},
        {"no tail, next record", {{3, disconnected}, {8, record}}, "hi ", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CountingHooks hooks;
        SessionHarness h(&hooks);
        StartWithArqLink(h);
        Bytes first = ToBytes("hi ");
        first.insert(first.end(), head.begin(), head.end());
        h.modem.QueueLinkOutputs({{8, first}});
        ASSERT_TRUE(h.sink.WaitFor(IsOutputContaining(HostOutputKind::EchoText, "hi "), 3s));
        for (const auto& [code, bytes] : c.afterHead) {
            if (code == 0) {
                h.modem.SetStatus(0x07, 0, 0);
                ASSERT_TRUE(Eventually([&] { return !h.session.arqConnected; }));
            } else {
                h.modem.QueueLinkOutputs({{code, bytes}});
            }
        }
        h.modem.QueueLinkOutputs({{1, ToBytes("mark")}});
        ASSERT_TRUE(h.sink.WaitFor(IsOutputContaining(HostOutputKind::ReceivedText, "mark"), 3s));
        EXPECT_EQ(JoinedOutput(h.sink.Events(), HostOutputKind::EchoText), c.echoText);
        EXPECT_EQ(hooks.records, c.records);
    }
}

// A text file is sent when the modem has sent it: the send ends then, and a
// link lost while the modem still holds some of it ends the send unfinished.
TEST(TextSendEnd, WaitsUntilTheModemHasSentTheFile) {
    for (const bool linkLost : {false, true}) {
        SCOPED_TRACE(linkLost ? "link lost" : "link stays");
        SessionHarness h;
        StartWithArqLink(h);
        h.modem.SetPendingFrames(3);
        h.session.WithQueues([](HostQueues& q) {
            q.outboundQueue.push_back(OutboundItem{ToBytes("file"), 0, OutboundKind::TextFile});
        });
        h.session.WakeWorker();
        ASSERT_TRUE(h.sink.WaitFor(IsKind(UiEventKind::FileSendProgressEvent), 3s));
        EXPECT_FALSE(h.sink.WaitFor(IsKind(UiEventKind::FileSendFinishedEvent), 500ms));
        if (linkLost) {
            h.modem.SetStatus(0x07, 0, 0);
            ASSERT_TRUE(Eventually([&] { return !h.session.linkCanSend; }));
        }
        h.modem.SetPendingFrames(0);
        EXPECT_EQ(h.sink.WaitFor(IsKind(UiEventKind::FileSendFinishedEvent), 1s).has_value(),
                  !linkLost);
    }
}

// Queued data dropped after a long refusal on a link that lasts: a record cut
// off by the drop is closed first, so the far end reads what follows in phase.
TEST(RefusedDataDrop, ClosesARecordCutOffByTheDrop) {
    SessionHarness h;
    h.settings.refusedDataLimit = 600ms;
    StartWithArqLink(h);
    auto refusing = std::make_shared<std::atomic<bool>>(false);
    auto accepted = std::make_shared<std::atomic<int>>(0);
    h.modem.SetHandler([refusing, accepted](const FakeModem::Request& r, Bytes& answer) {
        if (r.request.command) {
            return;
        }
        if (*refusing) {
            answer = ResponseFrame(4, 2, std::string("BUSY"));
            return;
        }
        *refusing = ++*accepted == 1;  // the rest of the record is refused
    });
    h.session.WithQueues([](HostQueues& q) {
        q.outboundQueue.push_back(OutboundItem{DataRecord(300), 0, OutboundKind::BinaryFile});
    });
    h.session.WakeWorker();
    ASSERT_TRUE(h.sink.WaitFor(IsOutputContaining(HostOutputKind::ReceivedText, "dropped"), 3s));
    *refusing = false;
    ASSERT_TRUE(Eventually([&] { return *accepted >= 2; }));
    const auto requests = h.modem.Requests();
    const auto last = std::find_if(requests.rbegin(), requests.rend(),
                                   [](const auto& r) { return !r.request.command; });
    EXPECT_EQ(last->request.payload, Bytes{0x00});
}

}  // namespace
}  // namespace corvina::testing
