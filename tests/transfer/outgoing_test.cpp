#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "cvfile/crc32.h"
#include "fake_port.h"
#include "transfer/file_senders.h"
#include "transfer/file_transfers.h"
#include "transfer/outgoing_transfer.h"
#include "transfer/record_stream.h"

namespace corvina {
namespace {

using cvfile::RecordType;
using cvfile::TransferRecord;
using testing::Bytes;
using testing::FakePort;

const std::atomic<bool> kNoAbort{false};

// The codec's layout is checked with it; here, how a file is cut into records.
TEST(BuildBinaryRecordStream, CutsFilesIntoStartChunksAndEnd) {
    const auto expect = [](const Bytes& content, cvfile::CompressionMode mode,
                           const std::vector<Bytes>& chunks) {
        const auto stream = BuildBinaryRecordStream(content, "f.bn", 99, kNoAbort);
        EXPECT_EQ(stream.mode, mode);
        const std::uint32_t crc = cvfile::Crc32Ieee(content.data(), content.size());
        const auto n = static_cast<std::uint32_t>(chunks.size());
        std::vector<TransferRecord> records = {{RecordType::Start, 99,
                                                static_cast<std::uint32_t>(mode), content.size(),
                                                crc, Bytes{'f', '.', 'b', 'n'}}};
        std::uint64_t offset = 0;
        for (std::uint32_t k = 1; k <= n; ++k) {
            const bool zlib = mode == cvfile::CompressionMode::Zlib;
            records.push_back({RecordType::Data, 99, k, offset, zlib ? n : 0, chunks[k - 1]});
            offset += chunks[k - 1].size();
        }
        records.push_back({RecordType::End, 99, n + 1, content.size(), crc, {}});
        EXPECT_EQ(testing::DecodeStream(stream.bytes), records);
    };
    expect({}, cvfile::CompressionMode::None, {});
    const Bytes random = testing::RandomBytes(70000);
    std::vector<Bytes> pieces;
    for (std::size_t p = 0; p < random.size(); p += 256) {
        pieces.emplace_back(random.begin() + p, random.begin() + std::min(p + 256, random.size()));
    }
    expect(random, cvfile::CompressionMode::None, pieces);
    const Bytes equal(1000, 'e');
    const auto packed =
        testing::DecodeStream(BuildBinaryRecordStream(equal, "f", 1, kNoAbort).bytes);
    expect(equal, cvfile::CompressionMode::Zlib, {packed.at(1).payload});
}

// The abort reaches the CRC and the compressor, so a large file stops before
// it is compressed rather than after.
TEST(BuildBinaryRecordStream, StopsWhilePreparingWhenAborted) {
    const std::atomic<bool> abort{true};
    for (const Bytes& content : {testing::RandomBytes(600), Bytes(3 << 20, 'e')}) {
        SCOPED_TRACE(content.size());
        try {
            BuildBinaryRecordStream(content, "a", 1, abort);
            ADD_FAILURE() << "not stopped";
        } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), "binary transfer cancelled");
        }
    }
}

// An outgoing transfer of 600 bytes, 3 chunks, CRC 0xABCD, identifier 5.
struct Sending {
    explicit Sending(bool active = true, std::uint32_t chunks = 3) {
        port.binarySendActive = active;
        outgoing.Prepare(5, 600, "sent.bin");
        outgoing.Built(600, chunks, 0xABCD);
    }
    FakePort port;
    OutgoingTransfer outgoing{port};
};

TEST(OutgoingTransfer, VerdictIsCheckedAgainstTheFileSent) {
    const auto verdict = [](std::uint64_t id, std::uint64_t size, std::uint32_t crc, Bytes payload,
                            std::uint32_t sequence = 0) {
        return TransferRecord{RecordType::Result, id, sequence, size, crc, std::move(payload)};
    };
    const struct {
        const char* label;
        TransferRecord record;
        bool active;
        std::optional<std::uint8_t> shown;
    } cases[] = {
        {"matching CRC OK", verdict(5, 600, 0xABCD, {0}), true, 0},
        {"CRC OK with a size one short", verdict(5, 599, 0xABCD, {0}), true, 2},
        {"CRC OK with another CRC", verdict(5, 600, 0xABCE, {0}), true, 2},
        {"CRC ERROR passes as it is", verdict(5, 600, 1, {1}), true, 1},
        {"cancelled", verdict(5, 0, 0, {5}), true, 5},
        {"another transfer", verdict(6, 600, 0xABCD, {0}), true, std::nullopt},
        {"no binary send", verdict(5, 600, 0xABCD, {0}), false, std::nullopt},
        {"undefined code", verdict(5, 600, 0xABCD, {6}), true, std::nullopt},
        {"two payload bytes", verdict(5, 600, 0xABCD, {0, 0}), true, std::nullopt},
        {"non-zero sequence", verdict(5, 600, 0xABCD, {0}, 1), true, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Sending s(c.active);
        s.outgoing.HandleVerdict(c.record);
        const auto messages = s.port.seen().Messages();
        ASSERT_EQ(messages.size(), c.shown ? 1u : 0u);
        if (c.shown) {
            EXPECT_EQ(messages[0].kind, BinaryTransferKind::SendFinished);
            EXPECT_EQ(messages[0].result, *c.shown);
            EXPECT_EQ(messages[0].name, "sent.bin");
            EXPECT_EQ(messages[0].size, c.record.offset);
            EXPECT_EQ(messages[0].expectedCrc, 0xABCDu);
            EXPECT_EQ(messages[0].actualCrc, c.record.value);
        }
    }
}

// Echoes in order are checked end to end; here the ones a modem repeats or a
// peer's data that is not ours.
TEST(OutgoingTransfer, EchoedChunksRaiseProgressOnceEach) {
    const auto percents = [](const FakePort& port) {
        std::vector<std::uint64_t> seen;
        for (const UiEvent& event : port.seen().events) {
            if (event.kind == UiEventKind::FileSendProgressEvent) {
                seen.push_back(event.wParam);
            }
        }
        return seen;
    };
    Sending s;
    auto records = testing::DecodeStream(
        BuildBinaryRecordStream(testing::RandomBytes(600), "e", 5, kNoAbort).bytes);
    auto stranger = records[2];
    stranger.transferId = 9;
    // Start, then a chunk twice, one ahead, one behind and another transfer's.
    for (const TransferRecord& echo :
         {records[0], records[1], records[1], records[3], records[2], stranger}) {
        s.outgoing.HandleEcho(echo);
    }
    EXPECT_EQ(percents(s.port), (std::vector<std::uint64_t>{33, 100}));
    EXPECT_EQ(s.outgoing.Snapshot().outgoingConfirmedBytes, 600u);

    // Compressed chunks count only with the announced chunk count.
    Sending z(true, 4);
    const std::pair<std::uint32_t, std::uint32_t> echoes[] = {{1, 5}, {1, 4}, {5, 4}};
    for (const auto& [sequence, count] : echoes) {
        z.outgoing.HandleEcho({RecordType::Data, 5, sequence, 0, count, {1}});
    }
    EXPECT_EQ(percents(z.port), (std::vector<std::uint64_t>{25}));
}

// One call of a file sender worker, its outcome on the port.
struct WorkerCase {
    const char* label;
    std::filesystem::path path;
    std::string_view text;  // the file-send result; empty when queued
    bool link = true;       // the ARQ link (binary) or send path (text) is up
    bool abort = false;
};

FakePort::Seen RunWorker(bool binary, const WorkerCase& c) {
    FakePort port;
    (binary ? port.arqConnected : port.linkCanSend) = c.link;
    port.transferAbortRequested = c.abort;
    OutgoingTransfer outgoing(port);
    if (binary) {
        SendBinaryFileWorker(port, outgoing, c.path, "f.bin", 4);
    } else {
        SendTextFileWorker(port, c.path);
    }
    auto seen = port.seen();
    EXPECT_EQ(seen.fileResult, std::make_pair(std::string(c.text), !c.text.empty()));
    if (!c.text.empty()) {
        EXPECT_TRUE(seen.items.empty());
        if (seen.events.empty()) {
            ADD_FAILURE() << "no event";
        } else {
            EXPECT_EQ(seen.events.back().kind, UiEventKind::FileSendFinishedEvent);
            EXPECT_EQ(seen.events.back().wParam, binary ? 2u : 1u);
        }
    }
    return seen;
}

TEST(FileSenders, FailuresEndWithTheirTextAndAFinishedEvent) {
    testing::TempDir dir;
    const auto path = dir.Write("f.bin", testing::RandomBytes(10));
    const WorkerCase binary[] = {
        {"missing file", dir.path() / "absent", kCouldNotOpenBinary},
        {"a folder", dir.path(), kCouldNotOpenBinary},
        {"link gone before queueing", path, kBinaryArqGone, false},
        {"aborted while reading", path, kBinaryCancelled, true, true},
    };
    for (const auto& c : binary) {
        SCOPED_TRACE(c.label);
        RunWorker(true, c);
    }
    const WorkerCase text[] = {
        {"missing file", dir.path() / "absent.txt", kCouldNotOpenText},
        {"send path closed", path, kTextPathClosed, false},
        {"aborted", path, kTextCancelled, true, true},
    };
    for (const auto& c : text) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(RunWorker(false, c).events.size(), 1u);
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
TEST(FileSenders, FilesTooLargeToHoldEndWithTheReadError) {
    testing::TempDir dir;
    const auto path = dir.path() / "huge.bin";
    std::ofstream(path).close();
    std::filesystem::resize_file(path, std::uint64_t{8} << 30);  // sparse
    EXPECT_EXIT(
        {
            LimitAddressSpace(std::uint64_t{512} << 20);
            RunWorker(false, {"text", path, kCouldNotReadText});
            RunWorker(true, {"binary", path, kCouldNotReadBinary});
            std::exit(::testing::Test::HasFailure() ? 1 : 0);  // exit() keeps the coverage
        },
        ::testing::ExitedWithCode(0), "");
}
#endif

// The window finishes an abort made while the file was prepared once the
// sender ended, as often as such events arrive.
TEST(FileTransfers, AbortWhilePreparingAsksForTheCancelOnceTheSenderEnded) {
    testing::TempDir dir;
    FakePort port;
    FileTransfers transfers(port, dir.path() / "tmp");
#ifndef _WIN32  // a name ending in a separator has no file there
    EXPECT_EQ(transfers.StartBinaryFileSend(dir.Write("ends\\", Bytes{1})).status,
              kBinaryNameTooLong);
#endif
    EXPECT_FALSE(transfers.AbortBinaryFileSend());
    const auto path = dir.Write("x.bin", testing::RandomBytes(3000));
    ASSERT_EQ(transfers.StartBinaryFileSend(path).outcome, FileTransfers::StartOutcome::Started);
    EXPECT_TRUE(transfers.AbortBinaryFileSend());
    EXPECT_TRUE(port.transferAbortRequested);
    transfers.JoinFileSender();
    transfers.FinishBinaryAbort();
    EXPECT_TRUE(port.binaryCancelRequested);
    port.binaryCancelRequested = false;
    transfers.FinishBinaryAbort();
    EXPECT_FALSE(port.binaryCancelRequested) << "the cancel was asked for twice";
    EXPECT_FALSE(transfers.AbortBinaryFileSend());
}

TEST(SendFileName, TakesThePartAfterEitherSeparator) {
    EXPECT_EQ(SendFileName("/home/op/a.bin"), "a.bin");
    EXPECT_EQ(SendFileName("dir/back\\slash.bin"), "slash.bin");
    EXPECT_EQ(SendFileName("plain"), "plain");
    EXPECT_EQ(SendFileName("ends/"), "");
}

}  // namespace
}  // namespace corvina
