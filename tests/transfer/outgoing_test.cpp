#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "transfer/file_senders.h"
#include "transfer/outgoing_transfer.h"
#include "transfer/record_stream.h"
#include "transfer_harness.h"

namespace corvina {
namespace {

using cvfile::RecordType;
using cvfile::TransferRecord;
using testing::Bytes;
using testing::IdleSession;

const std::atomic<bool> kNoAbort{false};

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
struct Sending : IdleSession {
    explicit Sending(bool active = true) {
        session.binarySendActive = active;
        outgoing.Prepare(5, 600, "sent.bin");
        outgoing.Built(600, 3, 0xABCD);
    }
    OutgoingTransfer outgoing{port};
};

// Verdicts that match are shown end to end; here those that do not.
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
        {"CRC OK with a size one short", verdict(5, 599, 0xABCD, {0}), true, 2},
        {"CRC OK with another CRC", verdict(5, 600, 0xABCE, {0}), true, 2},
        {"CRC ERROR passes as it is", verdict(5, 600, 1, {1}), true, 1},
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
        const auto events = s.sink.Events();
        ASSERT_EQ(events.size(), c.shown ? 1u : 0u);
        if (c.shown) {
            const BinaryTransferMessage* shown = events[0].transferMessage();
            ASSERT_NE(shown, nullptr);
            EXPECT_EQ(shown->result, *c.shown);
            EXPECT_EQ(shown->size, c.record.offset);
            EXPECT_EQ(shown->actualCrc, c.record.value);
        }
    }
}

// Echoes in order are checked end to end; here the ones a modem repeats or a
// peer's data that is not ours.
TEST(OutgoingTransfer, EchoedChunksRaiseProgressOnceEach) {
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
    std::vector<std::uint64_t> percents;
    for (const UiEvent& event : s.sink.Events()) {
        if (event.kind == UiEventKind::FileSendProgressEvent) {
            percents.push_back(event.wParam);
        }
    }
    EXPECT_EQ(percents, (std::vector<std::uint64_t>{33, 100}));
    EXPECT_EQ(s.outgoing.Snapshot().outgoingConfirmedBytes, 600u);
}

// One call of a file sender worker and its outcome: the file-send result and,
// on failure, nothing queued and a finished event last.
struct WorkerCase {
    const char* label;
    bool binary;
    std::filesystem::path path;
    std::string_view text;  // the file-send result; empty when queued
    bool link = true;       // the ARQ link (binary) or send path (text) is up
    bool abort = false;
};

void RunWorker(const WorkerCase& c) {
    SCOPED_TRACE(c.label);
    IdleSession idle;
    (c.binary ? idle.session.arqConnected : idle.session.linkCanSend) = c.link;
    idle.session.transferAbortRequested = c.abort;
    OutgoingTransfer outgoing(idle.port);
    if (c.binary) {
        SendBinaryFileWorker(idle.port, outgoing, c.path, "f.bin", 4);
    } else {
        SendTextFileWorker(idle.port, c.path);
    }
    EXPECT_EQ(idle.session.FileResult(), std::make_pair(std::string(c.text), !c.text.empty()));
    if (!c.text.empty()) {
        EXPECT_TRUE(idle.NothingQueued());
        const auto events = idle.sink.Events();
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.back().kind, UiEventKind::FileSendFinishedEvent);
        EXPECT_EQ(events.back().wParam, c.binary ? 2u : 1u);
    }
}

TEST(FileSenders, FailuresEndWithTheirTextAndAFinishedEvent) {
    testing::TempDir dir;
    const auto path = dir.Write("f.bin", testing::RandomBytes(10));
    const WorkerCase cases[] = {
        {"binary: missing file", true, dir.path() / "absent", kCouldNotOpenBinary},
        {"binary: a folder", true, dir.path(), kCouldNotOpenBinary},
        {"binary: link gone before queueing", true, path, kBinaryArqGone, false},
        {"binary: aborted while reading", true, path, kBinaryCancelled, true, true},
        {"text: missing file", false, dir.path() / "absent.txt", kCouldNotOpenText},
        {"text: send path closed", false, path, kTextPathClosed, false},
        {"text: aborted", false, path, kTextCancelled, true, true},
    };
    for (const auto& c : cases) {
        RunWorker(c);
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
            RunWorker({"text", false, path, kCouldNotReadText});
            RunWorker({"binary", true, path, kCouldNotReadBinary});
            std::exit(::testing::Test::HasFailure() ? 1 : 0);  // exit() keeps the coverage
        },
        ::testing::ExitedWithCode(0), "");
}
#endif

}  // namespace
}  // namespace corvina
