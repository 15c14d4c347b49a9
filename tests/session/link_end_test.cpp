#include <gtest/gtest.h>

#include "cvfile/record_codec.h"
#include "fake_transfer_hooks.h"
#include "session_harness.h"

namespace corvina::testing {
namespace {

// A binary record cut by the end of a link, whatever comes after it, never
// shows as text, and text that really went out shows once.
TEST(EchoAfterLinkEnd, CutRecordNeverShowsAsText) {
    cvfile::TransferRecord data;
    data.type = cvfile::RecordType::Data;
    data.transferId = 9;
    data.sequence = 1;
    data.payload = Bytes(200, 0x41);
    const Bytes record = cvfile::EncodeRecord(data);
    const Bytes head(record.begin(), record.begin() + 60);
    const Bytes tail(record.begin() + 60, record.end());
    const Bytes disconnected = ToBytes("*** DISCONNECTED fm AB1XYZ");

    struct Case {
        const char* name;
        std::vector<std::pair<std::uint8_t, Bytes>>
            afterHead;  // code 0: status poll loses the link
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
        {"no tail, new link",
         {{3, disconnected}, {3, ToBytes("*** CONNECTED to AB1XYZ")}, {8, ToBytes("typed")}},
         "hi typed",
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeTransferHooks hooks;
        SessionHarness h(4, &hooks);
        StartWithArqLink(h);
        Bytes first = ToBytes("hi ");
        first.insert(first.end(), head.begin(), head.end());
        h.modem.QueueLinkOutput(8, first);
        ASSERT_TRUE(h.sink.WaitFor(IsOutputContaining(HostOutputKind::EchoText, "hi "), 3s));
        for (const auto& [code, bytes] : c.afterHead) {
            if (code == 0) {
                h.modem.SetStatus(0x07, 0, 0);
                ASSERT_TRUE(Eventually([&] { return !h.session.arqConnected; }));
            } else {
                h.modem.QueueLinkOutput(code, bytes);
            }
        }
        h.modem.QueueLinkOutput(1, ToBytes("mark"));
        ASSERT_TRUE(h.sink.WaitFor(IsOutputContaining(HostOutputKind::ReceivedText, "mark"), 3s));
        EXPECT_EQ(JoinedOutput(h.sink.Events(), HostOutputKind::EchoText), c.echoText);
        EXPECT_EQ(hooks.Calls().size(), c.records);
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

}  // namespace
}  // namespace corvina::testing
