#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "cvfile/record_codec.h"
#include "e2e/velksim_harness.h"

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

Bytes TextAndRecord(const std::string& text, std::size_t size = 200) {
    cvfile::TransferRecord data;
    data.type = cvfile::RecordType::Data;
    data.transferId = 9;
    data.payload = Bytes(size, 0x41);
    return Join({ToBytes(text), cvfile::EncodeRecord(data)});
}

// Answers, link messages and echoes as the panes show them, over two links
// between two stations and a broadcast.
TEST(ResponseDispatch, AnswersLinkMessagesEchoesAndTheChangeoverPrompt) {
    CountingHooks hooks;
    StationPair pair(&hooks);
    Station& a = pair.a;
    velksim::Modem& modemB = pair.sim->modem(1);
    a.settings.refusedDataLimit = 600ms;
    ASSERT_TRUE(pair.Connect());
    a.session.QueueCommand(ToBytes("I"));
    a.session.QueueCommand(ToBytes("XYZZY"));
    ASSERT_TRUE(pair.Call());
    EXPECT_EQ(a.session.linkState.load(), 1);
    EXPECT_EQ(a.session.ConnectedPeer(), "XY2Z");

    // A record cut off by the end of the link never shows as text, and the
    // next link's streams start afresh.
    modemB.faults().loseLinkAfterAirBytes = 100;
    ASSERT_TRUE(a.session.QueueData(TextAndRecord("hi "), OutboundKind::TransmitText));
    ASSERT_TRUE(Eventually([&] { return !a.session.arqConnected && a.session.linkState == 0; }));
    EXPECT_EQ(a.session.ConnectedPeer(), "");
    ASSERT_TRUE(pair.Call());
    ASSERT_TRUE(a.session.QueueData(TextAndRecord("ho "), OutboundKind::TransmitText));
    ASSERT_TRUE(Eventually([&] { return hooks.records == 1; }, 5s));

    // Queued data dropped after a long refusal on a link that lasts: a record
    // cut off by the drop is closed first, so the far end reads what follows
    // in phase. Its first piece is taken, the rest refused.
    velksim::Modem& modemA = pair.sim->modem(0);
    pair.log.SetHook([&modemA, pieces = 0](const std::string& line) mutable {
        if (line.starts_with("AB1CD < ch 4 data ") && ++pieces == 2) {
            modemA.faults().rejectData = true;
        }
    });
    const std::uint64_t accepted = modemA.counters().dataBytesAccepted;
    a.session.WithQueues([](HostQueues& q) {
        q.outboundQueue.push_back(
            OutboundItem{TextAndRecord("", 300), 0, OutboundKind::BinaryFile});
    });
    a.session.WakeWorker();
    ASSERT_TRUE(a.sink.WaitFor(IsOutputContaining(HostOutputKind::ReceivedText, "dropped"), 5s));
    modemA.faults().rejectData = false;
    ASSERT_TRUE(Eventually([&] { return modemA.counters().dataBytesAccepted == accepted + 257; }));
    const auto requests = pair.log.Requests();
    const auto last = std::find_if(requests.rbegin(), requests.rend(),
                                   [](const LoggedRequest& r) { return !r.command; });
    EXPECT_EQ(last->text, "00");
    EXPECT_EQ(a.Shown(HostOutputKind::EchoText), "hi ho ");

    // The prompt goes out once, then the changeover command.
    pair.sim->modem(0).faults().reportFramesWaiting = 8;
    const auto request = a.session.QueueChangeoverPrompt();
    ASSERT_EQ(request.outcome, HostSession::ChangeoverOutcome::PromptQueued);
    EXPECT_EQ(ToString(request.prompt), "XY2Z de AB1CD>\r\n");
    EXPECT_EQ(a.session.QueueChangeoverPrompt().outcome,
              HostSession::ChangeoverOutcome::AlreadyPending);
    pair.sim->modem(0).faults().reportFramesWaiting = -1;
    ASSERT_TRUE(Eventually([&] {
        return pair.b.Shown(HostOutputKind::ReceivedText).ends_with("XY2Z de AB1CD>\r\n");
    }));
    EXPECT_TRUE(Eventually([&] { return !a.session.changeoverPending; }));
    EXPECT_EQ(pair.sim->modem(0).counters().Requests(4, "%O"), 1u);

    pair.b.session.QueueCommand(ToBytes("D"));
    ASSERT_TRUE(Eventually([&] { return a.session.linkState == 0; }, 5s));
    EXPECT_EQ(a.session.QueueChangeoverPrompt().outcome, HostSession::ChangeoverOutcome::NotQueued);
    // A broadcast's start and end are not shown.
    ASSERT_TRUE(a.Broadcast());
    a.session.QueueCommand(ToBytes("D"));
    ASSERT_TRUE(Eventually([&] { return a.session.linkState == 0; }, 5s));
    EXPECT_EQ(a.Shown(HostOutputKind::ReceivedText),
              "AB1CD\r\n*** HOSTMODE ERROR: INVALID COMMAND: XYZZY\r\n"
              "*** HOSTMODE ERROR: DATA REJECTED\r\n"
              "*** Queued data dropped: the modem kept refusing it\r\n");
    EXPECT_EQ(a.Shown(HostOutputKind::LinkMessage),
              "*** CONNECTED to XY2Z\r\n*** DISCONNECTED fm XY2Z\r\n"
              "*** CONNECTED to XY2Z\r\n*** DISCONNECTED fm XY2Z\r\n");
    EXPECT_EQ(a.Errors() + pair.b.Errors(), 0u);
}

}  // namespace
}  // namespace corvina::testing
