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

class FileTransfersTest : public ::testing::Test {
  protected:
    testing::TempDir dir;
    FakePort port;
    FileTransfers transfers{port, dir.path() / "tmp"};
};

TEST_F(FileTransfersTest, StartsNothingUnlessTheSessionAndLinkAllowIt) {
    const auto path = dir.Write("a.bin", testing::RandomBytes(10));
    const struct {
        const char* label;
        std::atomic<bool> FakePort::*flag;
        bool value;
        bool textToo;
    } cases[] = {
        {"no session", &FakePort::running, false, true},
        {"no ARQ link", &FakePort::arqConnected, false, false},
        {"no send path", &FakePort::linkCanSend, false, true},
        {"a file send runs", &FakePort::fileSendActive, true, true},
        {"a file is being received", &FakePort::incomingTransferActive, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        FakePort casePort;
        casePort.*(c.flag) = c.value;
        FileTransfers caseTransfers(casePort, dir.path() / "tmp");
        if (c.flag != &FakePort::linkCanSend) {
            EXPECT_EQ(caseTransfers.StartBinaryFileSend(path).outcome, Outcome::NotAllowed);
        }
        if (c.textToo) {
            EXPECT_EQ(caseTransfers.StartTextFileSend(path).outcome, Outcome::NotAllowed);
        }
        caseTransfers.JoinFileSender();
        EXPECT_TRUE(casePort.seen().items.empty());
    }
}

TEST_F(FileTransfersTest, StartedSendsSayWhatTheyDoAndUnreadableFilesAreRefused) {
    const auto missing = dir.path() / "absent";
    EXPECT_EQ(transfers.StartBinaryFileSend(missing).status, "Could not read binary file size");
    EXPECT_EQ(transfers.StartTextFileSend(missing).status, "Could not read text file size");
    EXPECT_FALSE(port.fileSendActive);
    const auto binary = transfers.StartBinaryFileSend(dir.Write("a.bin", Bytes{1}));
    EXPECT_EQ(binary.status, "Preparing binary file...");
    EXPECT_TRUE(port.binarySendActive);
    transfers.JoinFileSender();
    transfers.EndFileSend();
    EXPECT_FALSE(port.fileSendActive);
    EXPECT_EQ(transfers.StartTextFileSend(dir.Write("n.txt", Bytes{1})).status,
              "Sending text file: 0%");
    EXPECT_FALSE(port.binarySendActive);
    transfers.JoinFileSender();
}

TEST_F(FileTransfersTest, AbortStopsTheSenderAndAsksForTheCancelOnce) {
    EXPECT_FALSE(transfers.AbortBinaryFileSend());
    ASSERT_EQ(transfers.StartBinaryFileSend(dir.Write("x.bin", testing::RandomBytes(3000))).outcome,
              Outcome::Started);
    EXPECT_TRUE(transfers.AbortBinaryFileSend());
    EXPECT_TRUE(port.transferAbortRequested);
    // The window finishes the abort when the sender ends, as often as such
    // events arrive.
    transfers.JoinFileSender();
    transfers.FinishBinaryAbort();
    transfers.FinishBinaryAbort();
    EXPECT_TRUE(port.binaryCancelRequested);
    EXPECT_FALSE(transfers.AbortBinaryFileSend());
    EXPECT_EQ(port.seen().cancelRequests, 1);
}

}  // namespace
}  // namespace corvina
