#include <gtest/gtest.h>

#include "cvfile/crc32.h"
#include "station_harness.h"

namespace corvina {
namespace {

using cvfile::ResultCode;
using testing::Bytes;
using testing::ListFolder;
using testing::ReadFile;
using testing::Station;
using testing::WaitUntil;
using namespace std::chrono_literals;

class BinaryTransfer : public testing::TwoStations {
  protected:
    // Sends `content` as `name` from `from` to `to` and waits for the verdict
    // on both sides; returns the sender's verdict message.
    BinaryTransferMessage Send(Station& from, Station& to, const std::string& name,
                               const Bytes& content, std::chrono::milliseconds timeout = 30s) {
        const std::size_t fromMark = from.sink.Size();
        const std::size_t toMark = to.sink.Size();
        const auto path = from.folder.Write(name, content);
        const auto started = from.transfers().StartBinaryFileSend(path);
        EXPECT_EQ(started.outcome, FileTransfers::StartOutcome::Started) << started.status;
        if (&from == &b) {
            b.Command("%O");  // the called station asks for the send direction
        }
        const auto sent = from.WaitMessage(BinaryTransferKind::SendFinished, timeout, fromMark);
        const auto received = to.WaitMessage(BinaryTransferKind::ReceiveFinished, 5s, toMark);
        EXPECT_TRUE(to.WaitMessage(BinaryTransferKind::TransferStateChanged, 10s, toMark));
        from.transfers().EndFileSend();
        EXPECT_TRUE(sent.has_value());
        EXPECT_TRUE(received.has_value());
        if (!sent || !received) {
            return {};
        }
        EXPECT_EQ(received->result, sent->result);
        return *sent;
    }
};

TEST_F(BinaryTransfer, SmallFileArrivesWithCrcOk) {
    const Bytes content = testing::RandomBytes(600);
    const auto verdict = Send(a, b, "small.bin", content);
    EXPECT_EQ(verdict.result, static_cast<std::uint8_t>(ResultCode::CrcOk));
    EXPECT_EQ(ReadFile(b.tmp() / "small.bin"), content);
}

}  // namespace
}  // namespace corvina
