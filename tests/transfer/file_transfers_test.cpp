#include "transfer/file_transfers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "fake_port.h"

namespace corvina {
namespace {

using Outcome = FileTransfers::StartOutcome;
using testing::Bytes;
using testing::FakePort;
using testing::TempDir;

class FileTransfersTest : public ::testing::Test {
  protected:
    FakePort port;
    TempDir dir;
    FileTransfers transfers{port, dir.path() / "tmp"};
};

TEST_F(FileTransfersTest, StartsNothingUnlessTheSessionAndLinkAllowIt) {
    const auto path = dir.Write("a.bin", testing::RandomBytes(10));
    const struct {
        const char* label;
        std::atomic<bool> FakePort::*flag;
        bool value;
    } cases[] = {
        {"no session", &FakePort::running, false},
        {"no ARQ link", &FakePort::arqConnected, false},
        {"a file send runs", &FakePort::fileSendActive, true},
        {"a file is being received", &FakePort::incomingTransferActive, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        FakePort casePort;
        casePort.*(c.flag) = c.value;
        FileTransfers caseTransfers(casePort, dir.path() / "tmp");
        EXPECT_EQ(caseTransfers.StartBinaryFileSend(path).outcome, Outcome::NotAllowed);
        if (c.flag != &FakePort::arqConnected) {
            EXPECT_EQ(caseTransfers.StartTextFileSend(path).outcome, Outcome::NotAllowed);
        }
        caseTransfers.JoinFileSender();
        EXPECT_TRUE(casePort.Items().empty());
    }
    port.linkCanSend = false;
    EXPECT_EQ(transfers.StartTextFileSend(path).outcome, Outcome::NotAllowed);
}

TEST_F(FileTransfersTest, RefusesFilesWhoseSizeCannotBeRead) {
    const auto binary = transfers.StartBinaryFileSend(dir.path() / "absent.bin");
    EXPECT_EQ(binary.outcome, Outcome::Refused);
    EXPECT_EQ(binary.status, "Could not read binary file size");
    const auto text = transfers.StartTextFileSend(dir.path() / "absent.txt");
    EXPECT_EQ(text.outcome, Outcome::Refused);
    EXPECT_EQ(text.status, "Could not read text file size");
    EXPECT_FALSE(port.fileSendActive);
}

TEST_F(FileTransfersTest, BinarySendAnnouncesQueuesAndEndsOnItsVerdict) {
    const Bytes content = testing::RandomBytes(600);
    const auto result = transfers.StartBinaryFileSend(dir.Write("data 1.bin", content));
    ASSERT_EQ(result.outcome, Outcome::Started);
    EXPECT_EQ(result.marker, "\r\n[Binary file: data 1.bin 600 Bytes]\r\n");
    EXPECT_EQ(result.status, "Preparing binary file...");
    EXPECT_TRUE(port.fileSendActive);
    EXPECT_TRUE(port.binarySendActive);
    transfers.JoinFileSender();
    const auto items = port.Items();
    ASSERT_EQ(items.size(), 1u);
    const auto records = testing::DecodeStream(items[0].bytes);
    ASSERT_EQ(records.size(), 5u);
    const std::uint64_t id = records[0].transferId;
    EXPECT_EQ(transfers.ActiveOutgoingTransferId(), id);

    cvfile::TransferRecord verdict;
    verdict.type = cvfile::RecordType::Result;
    verdict.transferId = id;
    verdict.offset = 600;
    verdict.value = records[0].value;
    verdict.payload = {0};
    transfers.OnResultRecord(verdict);
    const auto messages = port.TransferMessages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].kind, BinaryTransferKind::SendFinished);
    EXPECT_EQ(messages[0].result, 0);

    transfers.EndFileSend();
    EXPECT_FALSE(port.fileSendActive);
    EXPECT_FALSE(port.binarySendActive);
    EXPECT_EQ(transfers.ActiveOutgoingTransferId(), 0u);
}

TEST_F(FileTransfersTest, AbortStopsTheSenderAndAsksForTheCancelOnce) {
    EXPECT_FALSE(transfers.AbortBinaryFileSend());
    ASSERT_EQ(transfers.StartBinaryFileSend(dir.Write("x.bin", testing::RandomBytes(3000))).outcome,
              Outcome::Started);
    EXPECT_TRUE(transfers.AbortBinaryFileSend());
    EXPECT_TRUE(port.transferAbortRequested);
    // A sender still at work when the abort came says so when it ends; the
    // window then finishes the abort (as often as such events arrive).
    const auto senderEnded = [&] {
        for (const UiEvent& event : port.Events()) {
            if (event.kind == UiEventKind::FileSendFinishedEvent && event.wParam == 2) {
                return true;
            }
        }
        return port.cancelRequests() > 0;
    };
    for (int i = 0; i < 500 && !senderEnded(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    transfers.FinishBinaryAbort();
    transfers.FinishBinaryAbort();
    EXPECT_TRUE(port.binaryCancelRequested);
    EXPECT_FALSE(transfers.AbortBinaryFileSend());
    EXPECT_EQ(port.cancelRequests(), 1);
}

TEST_F(FileTransfersTest, TextSendAnnouncesTheFileAndSetsTheCounters) {
    const auto result = transfers.StartTextFileSend(dir.Write("note.txt", Bytes(600, 'n')));
    ASSERT_EQ(result.outcome, Outcome::Started);
    EXPECT_EQ(result.marker, "\r\n[note.txt 600 Bytes]\r\n");
    EXPECT_EQ(result.status, "Sending text file: 0%");
    transfers.JoinFileSender();
    const std::pair<std::uint64_t, std::uint64_t> counters{600, 0};
    EXPECT_EQ(port.Counters(), counters);
    ASSERT_EQ(port.Items().size(), 1u);
    EXPECT_EQ(port.Items()[0].kind, OutboundKind::TextFile);
    EXPECT_FALSE(port.binarySendActive);
}

TEST_F(FileTransfersTest, RoutesEchoedRecordsByType) {
    const std::atomic<bool> abort{false};
    cvfile::TransferRecord start;
    start.type = cvfile::RecordType::Start;
    start.transferId = 21;
    start.payload = {'r'};
    transfers.OnStartRecord(start);
    cvfile::TransferRecord end;
    end.type = cvfile::RecordType::End;
    end.transferId = 21;
    end.sequence = 1;
    transfers.OnEndRecord(end);
    const auto results = port.QueuedResults();
    ASSERT_EQ(results.size(), 1u);
    transfers.OnDelayedRecord(results[0]);
    EXPECT_EQ(port.Commands(), (std::vector<std::string>{"%O", "%O"}));
    EXPECT_FALSE(port.incomingTransferActive);
}

}  // namespace
}  // namespace corvina
