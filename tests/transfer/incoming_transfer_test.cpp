#include "transfer/incoming_transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <thread>

#include "cvfile/crc32.h"
#include "fake_port.h"
#include "transfer/record_stream.h"

namespace corvina {
namespace {

using cvfile::RecordType;
using cvfile::ResultCode;
using cvfile::TransferRecord;
using testing::Bytes;
using testing::ListFolder;

constexpr std::uint64_t kId = 0x1234;

std::vector<TransferRecord> RecordsFor(const Bytes& file, const std::string& name,
                                       std::uint64_t id = kId) {
    const std::atomic<bool> abort{false};
    return testing::DecodeStream(BuildBinaryRecordStream(file, name, id, abort).bytes);
}

// The real disk, except that writes fail past `budget` bytes (a full disk),
// creation fails when `refuse` is set (another program took the name first),
// closing or renaming fails when told, and with `gated` every write waits for
// `release`.
class FakeDisk : public IncomingFileSystem {
  public:
    std::unique_ptr<IncomingFile> CreateExclusive(const std::filesystem::path& path) override {
        auto real = refuse ? nullptr : SystemIncomingFileSystem().CreateExclusive(path);
        return real ? std::make_unique<File>(std::move(real), *this) : nullptr;
    }
    bool RenameWithoutReplacing(const std::filesystem::path& from,
                                const std::filesystem::path& to) override {
        return !failRename && SystemIncomingFileSystem().RenameWithoutReplacing(from, to);
    }
    void Remove(const std::filesystem::path& path) override {
        removed.push_back(path);
        SystemIncomingFileSystem().Remove(path);
    }

    std::size_t budget = SIZE_MAX;
    bool refuse = false;
    bool failClose = false;
    bool failRename = false;
    bool gated = false;
    std::atomic<bool> writing{false};
    std::atomic<bool> release{false};
    std::vector<std::filesystem::path> removed;

  private:
    class File : public IncomingFile {
      public:
        File(std::unique_ptr<IncomingFile> real, FakeDisk& disk)
            : real_(std::move(real)), disk_(disk) {}
        bool Write(const std::uint8_t* data, std::size_t size) override {
            disk_.writing = true;
            while (disk_.gated && !disk_.release) {
                std::this_thread::yield();
            }
            const std::size_t n = std::min(size, disk_.budget);
            disk_.budget -= n;
            return real_->Write(data, n) && n == size;
        }
        bool FlushAndClose() override { return real_->FlushAndClose() && !disk_.failClose; }

      private:
        std::unique_ptr<IncomingFile> real_;
        FakeDisk& disk_;
    };
};

// A receiver with a port and a disk of its own.
struct Receiver {
    explicit Receiver(const std::filesystem::path& folder) : in(port, folder, disk) {}

    void Feed(const std::vector<TransferRecord>& records) {
        using Handler = void (IncomingTransfer::*)(const TransferRecord&);
        // By record type, from Start (1) to Cancel (5).
        static constexpr Handler kHandlers[] = {nullptr,
                                                &IncomingTransfer::Begin,
                                                &IncomingTransfer::Data,
                                                &IncomingTransfer::End,
                                                &IncomingTransfer::EchoedResult,
                                                &IncomingTransfer::Cancel};
        for (const TransferRecord& record : records) {
            (in.*kHandlers[static_cast<int>(record.type)])(record);
        }
    }
    // The one verdict queued so far.
    TransferRecord Verdict() const {
        const auto verdicts = port.seen().Verdicts();
        EXPECT_EQ(verdicts.size(), 1u);
        return verdicts.empty() ? TransferRecord{} : verdicts.front();
    }
    Bytes Code() const { return Verdict().payload; }

    testing::FakePort port;
    FakeDisk disk;
    IncomingTransfer in;
};

Bytes Code(ResultCode code) {
    return {static_cast<std::uint8_t>(code)};
}

class IncomingTransferTest : public ::testing::Test {
  protected:
    std::filesystem::path folder() const { return dir.path() / "tmp"; }
    std::vector<std::string> Tmp() const { return ListFolder(folder()); }

    testing::TempDir dir;
    Receiver r{folder()};
};

// Compressed files stay below 100 until the inflated file is verified.
TEST_F(IncomingTransferTest, ProgressRisesByChunkToTheEnd) {
    const struct {
        Bytes content;  // deflate gets the letters to about a quarter: some 40 chunks
        std::uint32_t last;
    } cases[] = {{testing::RandomBytes(600), 100}, {testing::Letters(40000, 3), 99}};
    for (const auto& c : cases) {
        Receiver receiver(folder());
        const auto records = RecordsFor(c.content, "p.bin");
        receiver.Feed({records.begin(), records.end() - 1});
        const auto messages = receiver.port.seen().Messages();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.front().kind, BinaryTransferKind::ReceiveStarted);
        EXPECT_EQ(messages.front().expectedCrc,
                  cvfile::Crc32Ieee(c.content.data(), c.content.size()));
        std::vector<std::uint32_t> percents = {0};
        for (const auto& m : messages) {
            if (m.kind == BinaryTransferKind::ReceiveProgress) {
                EXPECT_GT(m.percent, percents.back());
                percents.push_back(m.percent);
            }
        }
        EXPECT_EQ(percents.back(), c.last);
        if (c.last == 100) {
            EXPECT_EQ(percents, (std::vector<std::uint32_t>{0, 42, 85, 100}));
        }
        receiver.Feed({records.back()});
        EXPECT_EQ(receiver.Code(), Code(ResultCode::CrcOk));
        EXPECT_EQ(testing::ReadFile(folder() / "p.bin"), c.content);
        std::filesystem::remove(folder() / "p.bin");
    }
}

// Each case breaks a correct transfer of 600 random bytes (five records) or
// of 5,000 equal ones (three, compressed), or the disk under it.
TEST_F(IncomingTransferTest, BrokenTransfersEndWithTheirVerdictAndNothingLeft) {
    using Records = std::vector<TransferRecord>;
    const auto announce = [](Records& r, std::uint64_t size) {
        r.front().offset = size;
        r.back().offset = size;
    };
    struct Case {
        const char* label;
        bool compressed;
        std::function<void(Records&)> mutate;
        ResultCode code = ResultCode::ProtocolError;
        std::function<void(FakeDisk&)> disk = nullptr;
        const char* folder = "tmp";
    };
    const Case cases[] = {
        {"data record repeated", false, [](Records& r) { r.insert(r.begin() + 2, r[1]); }},
        {"data out of order", false, [](Records& r) { std::swap(r[1], r[2]); }},
        {"data at the wrong offset", false, [](Records& r) { r[2].offset += 1; }},
        {"value set on plain data", false, [](Records& r) { r[1].value = 3; }},
        {"chunk beyond the size", false, [](Records& r) { r[3].payload.push_back(0); }},
        {"chunk over 4096 bytes", false, [](Records& r) { r[1].payload.resize(4097); }},
        {"empty chunk", false, [](Records& r) { r[1].payload.clear(); }},
        {"end with the wrong CRC", false, [](Records& r) { r.back().value ^= 1; }},
        {"end with the wrong size", false, [](Records& r) { r.back().offset -= 1; }},
        {"end with the wrong count", false, [](Records& r) { r.back().sequence += 1; }},
        {"end with a payload", false, [](Records& r) { r.back().payload.push_back(1); }},
        {"data missing", false, [](Records& r) { r.erase(r.begin() + 3); }},
        {"announced one byte more than inflates", true, [&](Records& r) { announce(r, 5001); }},
        {"announced one byte less than inflates", true, [&](Records& r) { announce(r, 4999); }},
        {"bomb far beyond the data", true, [&](Records& r) { announce(r, 1ull << 40); }},
        {"bomb within the inflate ratio", true, [&](Records& r) { announce(r, 1 << 20); }},
        {"chunk count changes", true, [](Records& r) { r[1].value = 2; }},
        {"end count not chunks plus one", true, [](Records& r) { r.back().sequence = 3; }},
        {"compressed data at the wrong offset", true, [](Records& r) { r[1].offset = 1; }},
        {"plain, announced one byte more", false, [&](Records& r) { announce(r, 601); }},
        {"file CRC differs from the announced one", false,
         [](Records& r) {
             r.front().value ^= 1;
             r.back().value ^= 1;
         },
         ResultCode::CrcError},
        {"disk full during plain data", false, nullptr, ResultCode::FileError,
         [](FakeDisk& d) { d.budget = 300; }},
        {"disk full while inflating", true, nullptr, ResultCode::FileError,
         [](FakeDisk& d) { d.budget = 10; }},
        {"file cannot be closed", false, nullptr, ResultCode::FileError,
         [](FakeDisk& d) { d.failClose = true; }},
        {"file cannot be renamed", false, nullptr, ResultCode::FileError,
         [](FakeDisk& d) { d.failRename = true; }},
        {"another program's part file", false, nullptr, ResultCode::FileError,
         [](FakeDisk& d) { d.refuse = true; }},
        {"name refused", false,
         [](Records& r) {
             r.front().payload = {'a', 'u', 'x'};
         },
         ResultCode::Rejected},
        // Passes the name check, but no file system here stores a name that long.
        {"name of 1,024 bytes", false, [](Records& r) { r.front().payload = Bytes(1024, 'n'); },
         ResultCode::FileError},
        {"receive folder cannot be made", false, nullptr, ResultCode::FileError, nullptr,
         "file/tmp"},
    };
    dir.Write("file", Bytes{1});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Receiver receiver(dir.path() / c.folder);
        if (c.disk) {
            c.disk(receiver.disk);
        }
        auto records = c.compressed ? RecordsFor(Bytes(5000, 'c'), "bad.bin")
                                    : RecordsFor(testing::RandomBytes(600), "bad.bin");
        ASSERT_EQ(records.size(), c.compressed ? 3u : 5u);
        if (c.mutate) {
            c.mutate(records);
        }
        receiver.Feed(records);
        EXPECT_EQ(receiver.Code(), Code(c.code));
        EXPECT_TRUE(Tmp().empty()) << ::testing::PrintToString(Tmp());
        if (receiver.disk.refuse) {
            EXPECT_TRUE(receiver.disk.removed.empty()) << "removed a file it did not create";
        }
    }
}

TEST_F(IncomingTransferTest, ANewStartDropsTheUnfinishedTransferWithoutAVerdict) {
    const auto first = RecordsFor(testing::RandomBytes(600), "first.bin", 1);
    r.Feed({first[0], first[1]});
    EXPECT_EQ(Tmp(), std::vector<std::string>{"first.bin.part"});
    r.Feed(RecordsFor(Bytes{5, 6}, "second.bin", 2));
    r.Feed({first[2], first.back()});  // stale: another transfer
    EXPECT_EQ(Tmp(), std::vector<std::string>{"second.bin"});
    EXPECT_EQ(r.Verdict().transferId, 2u);
    // A link that ends forgets the verdict awaiting its echo, not the file.
    EXPECT_EQ(r.in.pendingResultId(), 2u);
    r.in.Abandon();
    EXPECT_EQ(r.in.pendingResultId(), 0u);
    EXPECT_EQ(Tmp(), std::vector<std::string>{"second.bin"});
}

// A link that ends while the worker waits on the disk: dropping the transfer
// returns at once, and the worker drops it when it next looks.
TEST_F(IncomingTransferTest, AbandonNeverWaitsForAWriteInProgress) {
    r.disk.gated = true;
    const auto records = RecordsFor(testing::RandomBytes(600), "slow.bin");
    r.in.Begin(records[0]);
    std::thread worker([&] { r.in.Data(records[1]); });
    while (!r.disk.writing) {
        std::this_thread::yield();
    }
    auto abandon = std::async(std::launch::async, [&] { r.in.Abandon(); });
    EXPECT_EQ(abandon.wait_for(std::chrono::seconds(20)), std::future_status::ready)
        << "Abandon waited for the write";
    EXPECT_EQ(Tmp(), std::vector<std::string>{"slow.bin.part"});
    r.disk.release = true;
    worker.join();
    abandon.wait();
    r.Feed({records[2], records.back()});
    EXPECT_TRUE(Tmp().empty());
    EXPECT_TRUE(r.port.seen().Verdicts().empty());
}

TEST_F(IncomingTransferTest, StrayRecordsAndVerdictsWithoutAnArqLinkGoUnanswered) {
    const auto records = RecordsFor(Bytes{1, 2, 3}, "e.bin", 9);
    auto other = records.back();
    other.transferId = 10;
    const TransferRecord echo{RecordType::Result, 10, 0, 2, 0, {0}};  // of no verdict sent
    // An End without a Start, then one for another transfer and a strange echo.
    r.Feed({records.back(), records[0], other, echo, records[1]});
    EXPECT_TRUE(r.port.incomingTransferActive);
    r.port.arqConnected = false;
    r.Feed({records.back()});
    EXPECT_TRUE(r.port.seen().items.empty());
    EXPECT_TRUE(r.port.seen().commands.empty());
    EXPECT_FALSE(r.port.incomingTransferActive);
    EXPECT_EQ(r.in.pendingResultId(), 0u);
}

TEST_F(IncomingTransferTest, CancelEndsOnlyTheMatchingTransfer) {
    Receiver idle(folder());
    idle.Feed({TransferRecord{RecordType::Cancel, kId + 1, 0, 0, 0, {}}});
    EXPECT_EQ(idle.Code(), Code(ResultCode::Cancelled)) << "answered though nothing runs";
    EXPECT_EQ(idle.Verdict().offset, 0u);

    const auto records = RecordsFor(testing::RandomBytes(600), "c.bin");
    const TransferRecord stranger{RecordType::Cancel, kId + 1, 0, 0, 0, {}};
    const TransferRecord malformed{RecordType::Cancel, kId, 0, 0, 1, {}};
    r.Feed({records[0], records[1], stranger, malformed});
    EXPECT_TRUE(r.port.seen().Verdicts().empty());

    r.Feed({TransferRecord{RecordType::Cancel, kId, 0, 0, 0, {}}});
    EXPECT_EQ(r.Code(), Code(ResultCode::Cancelled));
    EXPECT_EQ(r.Verdict().offset, 256u);
    EXPECT_TRUE(Tmp().empty());
}

}  // namespace
}  // namespace corvina
