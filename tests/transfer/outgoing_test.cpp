#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "cvfile/crc32.h"
#include "cvfile/record_codec.h"
#include "fake_port.h"
#include "transfer/file_senders.h"
#include "transfer/file_transfers.h"
#include "transfer/outgoing_transfer.h"
#include "transfer/record_stream.h"

namespace corvina {
namespace {

using cvfile::RecordType;
using cvfile::ResultCode;
using cvfile::TransferRecord;
using testing::Bytes;
using testing::FakePort;
using testing::TempDir;

struct Shape {
    std::size_t size;
    RecordType type;
    std::uint32_t sequence;
    std::uint64_t offset;
    std::uint32_t value;
};

TEST(BuildBinaryRecordStream, CutsFilesIntoStartChunksAndEnd) {
    const std::atomic<bool> abort{false};
    const Bytes random = testing::RandomBytes(600);
    const std::uint32_t randomCrc = cvfile::Crc32Ieee(random.data(), random.size());
    const Bytes equal(1000, 'e');
    const std::uint32_t equalCrc = cvfile::Crc32Ieee(equal.data(), equal.size());
    const struct {
        const char* label;
        Bytes content;
        cvfile::CompressionMode mode;
        std::vector<Shape> shapes;
    } cases[] = {
        {"empty file",
         {},
         cvfile::CompressionMode::None,
         {{4, RecordType::Start, 0, 0, 0}, {0, RecordType::End, 1, 0, 0}}},
        {"1,000 equal bytes",
         equal,
         cvfile::CompressionMode::Zlib,
         {{4, RecordType::Start, 2, 1000, equalCrc},
          {0, RecordType::Data, 1, 0, 1},
          {0, RecordType::End, 2, 1000, equalCrc}}},
        {"600 random bytes",
         random,
         cvfile::CompressionMode::None,
         {{4, RecordType::Start, 0, 600, randomCrc},
          {256, RecordType::Data, 1, 0, 0},
          {256, RecordType::Data, 2, 256, 0},
          {88, RecordType::Data, 3, 512, 0},
          {0, RecordType::End, 4, 600, randomCrc}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const BinaryRecordStream stream = BuildBinaryRecordStream(c.content, "f.bn", 99, abort);
        EXPECT_EQ(stream.mode, c.mode);
        EXPECT_EQ(stream.fileSize, c.content.size());
        const auto records = testing::DecodeStream(stream.bytes);
        ASSERT_EQ(records.size(), c.shapes.size());
        for (std::size_t i = 0; i < records.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(records[i].transferId, 99u);
            EXPECT_EQ(records[i].type, c.shapes[i].type);
            EXPECT_EQ(records[i].sequence, c.shapes[i].sequence);
            EXPECT_EQ(records[i].offset, c.shapes[i].offset);
            EXPECT_EQ(records[i].value, c.shapes[i].value);
            if (c.shapes[i].size != 0) {
                EXPECT_EQ(records[i].payload.size(), c.shapes[i].size);
            }
        }
        EXPECT_EQ(records.front().payload, (Bytes{'f', '.', 'b', 'n'}));
        EXPECT_TRUE(records.back().payload.empty());
        EXPECT_EQ(stream.chunkCount + 2, records.size());
    }
}

// The abort reaches the compressor, so a large file stops before it is
// compressed rather than after.
// The CRC and the compression both give way to an abort, with one text.
TEST(BuildBinaryRecordStream, StopsWhilePreparingWhenAborted) {
    const std::atomic<bool> abort{true};
    for (const Bytes& content : {testing::RandomBytes(600), Bytes(3 << 20, 'e')}) {
        SCOPED_TRACE(content.size());
        try {
            BuildBinaryRecordStream(content, "a", 1, abort);
            FAIL() << "no exception";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "binary transfer cancelled");
        }
    }
}

TransferRecord Verdict(std::uint64_t id, std::uint64_t size, std::uint32_t crc, std::uint8_t code) {
    TransferRecord record;
    record.type = RecordType::Result;
    record.transferId = id;
    record.offset = size;
    record.value = crc;
    record.payload = {code};
    return record;
}

TEST(OutgoingTransfer, VerdictIsCheckedAgainstTheFileSent) {
    const struct {
        const char* label;
        TransferRecord record;
        bool active;
        std::optional<std::uint8_t> shown;
    } cases[] = {
        {"matching CRC OK", Verdict(5, 600, 0xABCD, 0), true, 0},
        {"CRC OK with a size one short", Verdict(5, 599, 0xABCD, 0), true, 2},
        {"CRC OK with another CRC", Verdict(5, 600, 0xABCE, 0), true, 2},
        {"CRC ERROR passes as it is", Verdict(5, 600, 1, 1), true, 1},
        {"cancelled", Verdict(5, 0, 0, 5), true, 5},
        {"another transfer", Verdict(6, 600, 0xABCD, 0), true, std::nullopt},
        {"no binary send", Verdict(5, 600, 0xABCD, 0), false, std::nullopt},
        {"undefined code", Verdict(5, 600, 0xABCD, 6), true, std::nullopt},
        {"two payload bytes",
         [] {
             auto r = Verdict(5, 600, 0xABCD, 0);
             r.payload.push_back(0);
             return r;
         }(),
         true, std::nullopt},
        {"non-zero sequence",
         [] {
             auto r = Verdict(5, 600, 0xABCD, 0);
             r.sequence = 1;
             return r;
         }(),
         true, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        FakePort port;
        port.binarySendActive = c.active;
        OutgoingTransfer outgoing(port);
        outgoing.Prepare(5, 600, "sent.bin");
        outgoing.Built(600, 3, 0xABCD);
        outgoing.HandleVerdict(c.record);
        const auto messages = port.TransferMessages();
        if (!c.shown) {
            EXPECT_TRUE(messages.empty());
            continue;
        }
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].kind, BinaryTransferKind::SendFinished);
        EXPECT_EQ(messages[0].result, *c.shown);
        EXPECT_EQ(messages[0].name, "sent.bin");
        EXPECT_EQ(messages[0].size, c.record.offset);
        EXPECT_EQ(messages[0].expectedCrc, 0xABCDu);
        EXPECT_EQ(messages[0].actualCrc, c.record.value);
    }
}

TEST(OutgoingTransfer, EchoedChunksRaiseProgressOnceEach) {
    FakePort port;
    port.binarySendActive = true;
    OutgoingTransfer outgoing(port);
    outgoing.Prepare(8, 600, "e.bin");
    outgoing.Built(600, 3, 1);
    const std::atomic<bool> abort{false};
    auto records = testing::DecodeStream(
        BuildBinaryRecordStream(testing::RandomBytes(600), "e", 8, abort).bytes);
    outgoing.HandleEcho(records[0]);  // Start: no progress
    outgoing.HandleEcho(records[1]);
    outgoing.HandleEcho(records[1]);  // repeated: nothing
    outgoing.HandleEcho(records[3]);
    outgoing.HandleEcho(records[2]);  // behind the last one: nothing
    auto stranger = records[2];
    stranger.transferId = 9;
    outgoing.HandleEcho(stranger);

    std::vector<std::uint64_t> percents;
    std::string lines;
    for (const UiEvent& event : port.Events()) {
        if (event.kind == UiEventKind::FileSendProgressEvent) {
            EXPECT_EQ(event.lParam, 1);
            percents.push_back(event.wParam);
        } else if (const HostOutput* output = event.hostOutput()) {
            EXPECT_EQ(output->kind, HostOutputKind::EchoText);
            lines.append(output->bytes.begin(), output->bytes.end());
        }
    }
    EXPECT_EQ(percents, (std::vector<std::uint64_t>{33, 100}));
    EXPECT_EQ(lines, "[Binary record 1/3 sent]\r\n[Binary record 3/3 sent]\r\n");
    EXPECT_EQ(outgoing.Snapshot().outgoingConfirmedBytes, 600u);
}

TEST(OutgoingTransfer, CompressedEchoesNeedTheAnnouncedChunkCount) {
    FakePort port;
    port.binarySendActive = true;
    OutgoingTransfer outgoing(port);
    outgoing.Prepare(8, 100000, "z");
    outgoing.Built(100000, 4, 1);
    TransferRecord data;
    data.type = RecordType::Data;
    data.transferId = 8;
    data.sequence = 1;
    data.value = 5;
    data.payload = {1};
    outgoing.HandleEcho(data);
    EXPECT_TRUE(port.Events().empty());
    data.value = 4;
    outgoing.HandleEcho(data);
    data.sequence = 5;
    outgoing.HandleEcho(data);
    ASSERT_EQ(port.Events().size(), 2u);
    EXPECT_EQ(port.Events()[0].wParam, 25u);
}

class SenderTest : public ::testing::Test {
  protected:
    FakePort port;
    TempDir dir;
    OutgoingTransfer outgoing{port};
};

TEST_F(SenderTest, BinaryWorkerQueuesTheWholeStreamAsOneItem) {
    const Bytes content = testing::RandomBytes(70000);
    const auto path = dir.Write("big.bin", content);
    outgoing.Prepare(3, content.size(), "big.bin");
    SendBinaryFileWorker(port, outgoing, path, "big.bin", 3);
    const auto items = port.Items();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].kind, OutboundKind::BinaryFile);
    const std::atomic<bool> abort{false};
    EXPECT_EQ(items[0].bytes, BuildBinaryRecordStream(content, "big.bin", 3, abort).bytes);
    const std::pair<std::uint64_t, std::uint64_t> counters{items[0].bytes.size(), 0};
    EXPECT_EQ(port.Counters(), counters);
    EXPECT_EQ(port.FileResult(), std::make_pair(std::string(), false));
    const auto state = outgoing.Snapshot();
    EXPECT_EQ(state.outgoingChunkCount, 274u);
    EXPECT_EQ(state.outgoingCrc, cvfile::Crc32Ieee(content.data(), content.size()));
    const auto events = port.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, UiEventKind::FileSendProgressEvent);
    EXPECT_EQ(events[0].wParam, 0u);
    EXPECT_EQ(events[0].lParam, 1);
}

TEST_F(SenderTest, BinaryWorkerFailuresEndWithTheirTextAndAFinishedEvent) {
    const auto path = dir.Write("f.bin", testing::RandomBytes(10));
    const struct {
        const char* label;
        std::filesystem::path path;
        bool arq;
        bool abort;
        std::string_view text;
    } cases[] = {
        {"missing file", dir.path() / "absent", true, false, kCouldNotOpenBinary},
        {"a folder", dir.path(), true, false, kCouldNotOpenBinary},
        {"link gone before queueing", path, false, false, kBinaryArqGone},
        {"aborted while reading", path, true, true, kBinaryCancelled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        FakePort casePort;
        casePort.arqConnected = c.arq;
        casePort.transferAbortRequested = c.abort;
        OutgoingTransfer caseOutgoing(casePort);
        SendBinaryFileWorker(casePort, caseOutgoing, c.path, "f.bin", 4);
        EXPECT_TRUE(casePort.Items().empty());
        EXPECT_EQ(casePort.FileResult(), std::make_pair(std::string(c.text), true));
        const auto events = casePort.Events();
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.back().kind, UiEventKind::FileSendFinishedEvent);
        EXPECT_EQ(events.back().wParam, 2u);
    }
}

TEST_F(SenderTest, TextWorkerSendsBytesUnchangedAndEndsEmptyFilesAtOnce) {
    Bytes content = {'a', 0x00, '\r', '\n', 0xE9, 'z'};
    SendTextFileWorker(port, dir.Write("t.txt", content));
    auto items = port.Items();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].kind, OutboundKind::TextFile);
    EXPECT_EQ(items[0].bytes, content);
    EXPECT_TRUE(port.Events().empty());  // the worker reports the end of the item
    EXPECT_EQ(port.FileResult(), std::make_pair(std::string(), false));

    FakePort emptyPort;
    SendTextFileWorker(emptyPort, dir.Write("e.txt", {}));
    EXPECT_TRUE(emptyPort.Items().empty());
    ASSERT_EQ(emptyPort.Events().size(), 1u);
    EXPECT_EQ(emptyPort.Events()[0].kind, UiEventKind::FileSendFinishedEvent);
    EXPECT_EQ(emptyPort.Events()[0].wParam, 1u);
    EXPECT_EQ(emptyPort.FileResult(), std::make_pair(std::string(), false));
}

TEST_F(SenderTest, TextWorkerFailuresEndWithTheirText) {
    const auto path = dir.Write("t.txt", {'x'});
    const struct {
        const char* label;
        std::filesystem::path path;
        bool canSend;
        bool abort;
        std::string_view text;
    } cases[] = {
        {"missing file", dir.path() / "absent.txt", true, false, kCouldNotOpenText},
        {"send path closed", path, false, false, kTextPathClosed},
        {"aborted", path, true, true, kTextCancelled},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        FakePort casePort;
        casePort.linkCanSend = c.canSend;
        casePort.transferAbortRequested = c.abort;
        SendTextFileWorker(casePort, c.path);
        EXPECT_TRUE(casePort.Items().empty());
        EXPECT_EQ(casePort.FileResult(), std::make_pair(std::string(c.text), true));
        ASSERT_EQ(casePort.Events().size(), 1u);
        EXPECT_EQ(casePort.Events()[0].wParam, 1u);
    }
}

// Sanitizers reserve far more address space than any limit would allow.
#if defined(__linux__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Lets the process map only `headroom` more bytes than it has now.
void LimitAddressSpace(std::uint64_t headroom) {
    std::ifstream statm("/proc/self/statm");
    std::uint64_t pages = 0;
    statm >> pages;
    const rlim_t limit = pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE)) + headroom;
    const rlimit bounds{limit, limit};
    setrlimit(RLIMIT_AS, &bounds);
}

// A file larger than the memory the process may take ends either send with
// its read error, and the process lives on (in a child, under a limit).
TEST_F(SenderTest, FilesTooLargeToHoldEndWithTheReadError) {
    const auto path = dir.path() / "huge.bin";
    std::ofstream(path).close();
    std::filesystem::resize_file(path, std::uint64_t{8} << 30);  // sparse
    EXPECT_EXIT(
        {
            LimitAddressSpace(std::uint64_t{512} << 20);
            FakePort textPort;
            SendTextFileWorker(textPort, path);
            FakePort binaryPort;
            OutgoingTransfer binaryOutgoing(binaryPort);
            SendBinaryFileWorker(binaryPort, binaryOutgoing, path, "huge.bin", 9);
            const bool textFailed =
                textPort.FileResult() == std::make_pair(std::string(kCouldNotReadText), true);
            const bool binaryFailed =
                binaryPort.FileResult() == std::make_pair(std::string(kCouldNotReadBinary), true);
            std::_Exit(textFailed && binaryFailed && textPort.Items().empty() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
#endif

TEST(SendFileName, TakesThePartAfterEitherSeparator) {
    EXPECT_EQ(SendFileName("/home/op/a.bin"), "a.bin");
    EXPECT_EQ(SendFileName("dir/back\\slash.bin"), "slash.bin");
    EXPECT_EQ(SendFileName("plain"), "plain");
    EXPECT_EQ(SendFileName("ends/"), "");
}

}  // namespace
}  // namespace corvina
