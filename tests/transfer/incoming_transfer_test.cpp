#include "transfer/incoming_transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <thread>

#include "cvfile/crc32.h"
#include "cvfile/record_codec.h"
#include "fake_port.h"
#include "transfer/record_stream.h"

namespace corvina {
namespace {

using cvfile::RecordType;
using cvfile::ResultCode;
using cvfile::TransferRecord;
using testing::Bytes;
using testing::FakePort;
using testing::ListFolder;
using testing::ReadFile;
using testing::TempDir;

constexpr std::uint64_t kId = 0x1234;

std::vector<TransferRecord> RecordsFor(const Bytes& file, const std::string& name,
                                       std::uint64_t id = kId) {
    const std::atomic<bool> abort{false};
    return testing::DecodeStream(BuildBinaryRecordStream(file, name, id, abort).bytes);
}

// Fails every write once `budget` bytes have been written, like a full disk.
class FullDiskFileSystem : public IncomingFileSystem {
  public:
    explicit FullDiskFileSystem(std::size_t budget) : budget_(budget) {}

    std::unique_ptr<IncomingFile> CreateExclusive(const std::filesystem::path& path) override {
        auto real = SystemIncomingFileSystem().CreateExclusive(path);
        if (!real) {
            return nullptr;
        }
        return std::make_unique<LimitedFile>(std::move(real), budget_);
    }
    bool RenameWithoutReplacing(const std::filesystem::path& from,
                                const std::filesystem::path& to) override {
        return SystemIncomingFileSystem().RenameWithoutReplacing(from, to);
    }
    void Remove(const std::filesystem::path& path) override {
        SystemIncomingFileSystem().Remove(path);
    }

  private:
    class LimitedFile : public IncomingFile {
      public:
        LimitedFile(std::unique_ptr<IncomingFile> real, std::size_t budget)
            : real_(std::move(real)), budget_(budget) {}
        bool Write(const std::uint8_t* data, std::size_t size) override {
            if (size > budget_) {
                real_->Write(data, budget_);
                budget_ = 0;
                return false;
            }
            budget_ -= size;
            return real_->Write(data, size);
        }
        bool FlushAndClose() override { return real_->FlushAndClose(); }

      private:
        std::unique_ptr<IncomingFile> real_;
        std::size_t budget_;
    };
    std::size_t budget_;
};

class IncomingTransferTest : public ::testing::Test {
  protected:
    void Feed(const TransferRecord& record) {
        switch (record.type) {
            case RecordType::Start:
                receiver.Begin(record);
                break;
            case RecordType::Data:
                receiver.Data(record);
                break;
            case RecordType::End:
                receiver.End(record);
                break;
            case RecordType::Cancel:
                receiver.Cancel(record);
                break;
            case RecordType::Result:
                break;
        }
    }
    void FeedAll(const std::vector<TransferRecord>& records) {
        for (const TransferRecord& record : records) {
            Feed(record);
        }
    }
    // The one verdict queued so far.
    TransferRecord OnlyVerdict() {
        const auto results = port.QueuedResults();
        EXPECT_EQ(results.size(), 1u);
        return results.empty() ? TransferRecord{} : results.front();
    }
    ResultCode VerdictCode() {
        const TransferRecord verdict = OnlyVerdict();
        EXPECT_EQ(verdict.payload.size(), 1u);
        return verdict.payload.empty() ? ResultCode::CrcOk
                                       : static_cast<ResultCode>(verdict.payload[0]);
    }
    std::vector<std::string> Tmp() const { return ListFolder(dir.path() / "tmp"); }

    FakePort port;
    TempDir dir;
    IncomingTransfer receiver{port, dir.path() / "tmp"};
};

TEST_F(IncomingTransferTest, StoresAndVerifiesFilesOfEveryShape) {
    const struct {
        const char* label;
        Bytes content;
    } cases[] = {
        {"empty", {}},
        {"equal bytes, compressed", Bytes(1000, 'x')},
        {"random, three plain chunks", testing::RandomBytes(600)},
        {"mixed text, compressed",
         [] {
             Bytes text;
             while (text.size() < 200 * 1024) {
                 const std::string line = "line " + std::to_string(text.size() * 7 % 1013) +
                                          " of the log, with some words\r\n";
                 text.insert(text.end(), line.begin(), line.end());
             }
             return text;
         }()},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        FakePort casePort;
        IncomingTransfer caseReceiver(casePort, dir.path() / "tmp");
        const std::string name = "file" + std::to_string(++n) + ".bin";
        const std::uint32_t crc = cvfile::Crc32Ieee(c.content.data(), c.content.size());
        for (const TransferRecord& record : RecordsFor(c.content, name)) {
            if (record.type == RecordType::Start) {
                caseReceiver.Begin(record);
            } else if (record.type == RecordType::Data) {
                caseReceiver.Data(record);
            } else {
                caseReceiver.End(record);
            }
        }
        const auto results = casePort.QueuedResults();
        ASSERT_EQ(results.size(), 1u);
        EXPECT_EQ(results[0].payload, Bytes{0});
        EXPECT_EQ(results[0].offset, c.content.size());
        EXPECT_EQ(results[0].value, crc);
        EXPECT_EQ(results[0].transferId, kId);
        EXPECT_EQ(ReadFile(dir.path() / "tmp" / name), c.content);
        EXPECT_EQ(casePort.Commands(), std::vector<std::string>{"%O"});
        EXPECT_TRUE(casePort.incomingTransferActive);
        EXPECT_EQ(caseReceiver.pendingResultId(), kId);

        const auto messages = casePort.TransferMessages();
        ASSERT_GE(messages.size(), 2u);
        EXPECT_EQ(messages.front().kind, BinaryTransferKind::ReceiveStarted);
        EXPECT_EQ(messages.front().size, c.content.size());
        EXPECT_EQ(messages.front().expectedCrc, crc);
        EXPECT_EQ(messages.back().kind, BinaryTransferKind::ReceiveFinished);
        EXPECT_EQ(messages.back().result, 0);
        EXPECT_EQ(messages.back().actualCrc, crc);
    }
    EXPECT_EQ(Tmp(),
              (std::vector<std::string>{"file1.bin", "file2.bin", "file3.bin", "file4.bin"}));
}

TEST_F(IncomingTransferTest, ReportsProgressOnlyOnChangeAndCompressedStaysBelow100) {
    FeedAll(RecordsFor(testing::RandomBytes(600), "p.bin"));
    std::vector<std::uint32_t> plain;
    for (const auto& m : port.TransferMessages()) {
        if (m.kind == BinaryTransferKind::ReceiveProgress) {
            plain.push_back(m.percent);
        }
    }
    EXPECT_EQ(plain, (std::vector<std::uint32_t>{42, 85, 100}));

    FakePort zport;
    IncomingTransfer zreceiver(zport, dir.path() / "tmp");
    // Four letters at random: deflate gets it to about a quarter, some 40 chunks.
    Bytes compressible = testing::RandomBytes(40000, 3);
    for (std::uint8_t& b : compressible) {
        b = static_cast<std::uint8_t>('a' + b % 4);
    }
    const auto records = RecordsFor(compressible, "z.bin");
    ASSERT_GT(records.size(), 4u);
    std::uint32_t last = 0;
    for (const auto& r : records) {
        if (r.type == RecordType::Start) {
            zreceiver.Begin(r);
        } else if (r.type == RecordType::Data) {
            zreceiver.Data(r);
        }
    }
    std::size_t progressEvents = 0;
    for (const auto& m : zport.TransferMessages()) {
        if (m.kind == BinaryTransferKind::ReceiveProgress) {
            ++progressEvents;
            EXPECT_GT(m.percent, last);
            EXPECT_LE(m.percent, 99u);
            last = m.percent;
        }
    }
    EXPECT_EQ(last, 99u);
    EXPECT_GT(progressEvents, 0u);
}

// Each case corrupts a correct transfer of 600 random bytes.
TEST_F(IncomingTransferTest, DataFaultsEndInProtocolErrorWithNothingLeft) {
    using Mutate = std::function<void(std::vector<TransferRecord>&)>;
    const struct {
        const char* label;
        Mutate mutate;
    } cases[] = {
        {"data record repeated", [](auto& r) { r.insert(r.begin() + 2, r[1]); }},
        {"data out of order", [](auto& r) { std::swap(r[1], r[2]); }},
        {"data at the wrong offset", [](auto& r) { r[2].offset += 1; }},
        {"value set on plain data", [](auto& r) { r[1].value = 3; }},
        {"chunk beyond the size", [](auto& r) { r[3].payload.push_back(0); }},
        {"chunk over 4096 bytes", [](auto& r) { r[1].payload.resize(4097); }},
        {"empty chunk", [](auto& r) { r[1].payload.clear(); }},
        {"end with the wrong CRC", [](auto& r) { r.back().value ^= 1; }},
        {"end with the wrong size", [](auto& r) { r.back().offset -= 1; }},
        {"end with the wrong count", [](auto& r) { r.back().sequence += 1; }},
        {"end with a payload", [](auto& r) { r.back().payload.push_back(1); }},
        {"data missing", [](auto& r) { r.erase(r.begin() + 3); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        FakePort casePort;
        IncomingTransfer caseReceiver(casePort, dir.path() / "tmp");
        auto records = RecordsFor(testing::RandomBytes(600), "bad.bin");
        ASSERT_EQ(records.size(), 5u);
        c.mutate(records);
        for (const TransferRecord& record : records) {
            if (record.type == RecordType::Start) {
                caseReceiver.Begin(record);
            } else if (record.type == RecordType::Data) {
                caseReceiver.Data(record);
            } else {
                caseReceiver.End(record);
            }
        }
        const auto results = casePort.QueuedResults();
        ASSERT_EQ(results.size(), 1u);
        EXPECT_EQ(results[0].payload, Bytes{static_cast<std::uint8_t>(ResultCode::ProtocolError)});
        EXPECT_TRUE(Tmp().empty()) << ::testing::PrintToString(Tmp());
    }
}

TEST_F(IncomingTransferTest, CompressedFaultsEndInProtocolErrorBeforeAnyLargeAllocation) {
    const Bytes content(1000, 'q');
    const struct {
        const char* label;
        std::function<void(std::vector<TransferRecord>&)> mutate;
    } cases[] = {
        {"announced one byte more than inflates",
         [](auto& r) {
             r.front().offset += 1;
             r.back().offset += 1;
         }},
        {"announced one byte less than inflates",
         [](auto& r) {
             r.front().offset -= 1;
             r.back().offset -= 1;
         }},
        {"bomb: announced far beyond what the data can inflate to",
         [](auto& r) {
             r.front().offset = 1ull << 40;
             r.back().offset = 1ull << 40;
         }},
        {"chunk count changes", [](auto& r) { r[1].value = 2; }},
        {"end count not chunks plus one", [](auto& r) { r.back().sequence = 3; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        FakePort casePort;
        IncomingTransfer caseReceiver(casePort, dir.path() / "tmp");
        auto records = RecordsFor(content, "z.bin");
        ASSERT_EQ(records.size(), 3u);
        c.mutate(records);
        caseReceiver.Begin(records[0]);
        caseReceiver.Data(records[1]);
        caseReceiver.End(records[2]);
        const auto results = casePort.QueuedResults();
        ASSERT_EQ(results.size(), 1u);
        EXPECT_EQ(results[0].payload, Bytes{static_cast<std::uint8_t>(ResultCode::ProtocolError)});
        EXPECT_TRUE(Tmp().empty());
    }
}

TEST_F(IncomingTransferTest, FileErrorsRemoveThePartFile) {
    {
        SCOPED_TRACE("disk full during plain data");
        FullDiskFileSystem full(300);
        FakePort casePort;
        IncomingTransfer caseReceiver(casePort, dir.path() / "tmp", full);
        for (const auto& r : RecordsFor(testing::RandomBytes(600), "full.bin")) {
            if (r.type == RecordType::Start) {
                caseReceiver.Begin(r);
                EXPECT_EQ(Tmp(), std::vector<std::string>{"full.bin.part"});
            } else if (r.type == RecordType::Data) {
                caseReceiver.Data(r);
            } else {
                caseReceiver.End(r);
            }
        }
        const auto results = casePort.QueuedResults();
        ASSERT_EQ(results.size(), 1u);
        EXPECT_EQ(results[0].payload, Bytes{static_cast<std::uint8_t>(ResultCode::FileError)});
        EXPECT_TRUE(Tmp().empty());
    }
    {
        SCOPED_TRACE("disk full while writing the inflated file");
        FullDiskFileSystem full(10);
        FakePort casePort;
        IncomingTransfer caseReceiver(casePort, dir.path() / "tmp", full);
        const auto records = RecordsFor(Bytes(5000, 'c'), "inflate.bin");
        caseReceiver.Begin(records[0]);
        caseReceiver.Data(records[1]);
        caseReceiver.End(records[2]);
        const auto results = casePort.QueuedResults();
        ASSERT_EQ(results.size(), 1u);
        EXPECT_EQ(results[0].payload, Bytes{static_cast<std::uint8_t>(ResultCode::FileError)});
        EXPECT_TRUE(Tmp().empty());
    }
    {
        SCOPED_TRACE("tmp is a file");
        TempDir blocked;
        blocked.Write("tmp", Bytes{1});
        FakePort casePort;
        IncomingTransfer caseReceiver(casePort, blocked.path() / "tmp");
        for (const auto& r : RecordsFor(Bytes{1, 2, 3}, "x.bin")) {
            if (r.type == RecordType::Start) {
                caseReceiver.Begin(r);
            } else if (r.type == RecordType::Data) {
                caseReceiver.Data(r);
            } else {
                caseReceiver.End(r);
            }
        }
        EXPECT_EQ(casePort.TransferMessages().front().result,
                  static_cast<std::uint8_t>(ResultCode::FileError));
        const auto results = casePort.QueuedResults();
        ASSERT_EQ(results.size(), 1u);
        EXPECT_EQ(results[0].payload, Bytes{static_cast<std::uint8_t>(ResultCode::FileError)});
        EXPECT_EQ(ReadFile(blocked.path() / "tmp"), Bytes{1});
    }
}

TEST_F(IncomingTransferTest, CollidingPartFileOfAnotherProgramIsNeverDeleted) {
    std::filesystem::create_directory(dir.path() / "tmp");
    // Someone else's file appears under the temporary name between the name
    // check and the creation: simulated by a file system whose create fails.
    class RefusingFileSystem : public IncomingFileSystem {
      public:
        std::unique_ptr<IncomingFile> CreateExclusive(const std::filesystem::path&) override {
            return nullptr;
        }
        bool RenameWithoutReplacing(const std::filesystem::path&,
                                    const std::filesystem::path&) override {
            return false;
        }
        void Remove(const std::filesystem::path& path) override { removed.push_back(path); }
        std::vector<std::filesystem::path> removed;
    } refusing;
    IncomingTransfer caseReceiver(port, dir.path() / "tmp", refusing);
    const auto records = RecordsFor(Bytes{1}, "r.bin");
    caseReceiver.Begin(records[0]);
    caseReceiver.Data(records[1]);
    caseReceiver.End(records[2]);
    EXPECT_EQ(VerdictCode(), ResultCode::FileError);
    EXPECT_TRUE(refusing.removed.empty());
}

TEST_F(IncomingTransferTest, ANewStartDropsTheUnfinishedTransferWithoutAVerdict) {
    const auto first = RecordsFor(testing::RandomBytes(600), "first.bin", 1);
    Feed(first[0]);
    Feed(first[1]);
    EXPECT_EQ(Tmp(), std::vector<std::string>{"first.bin.part"});
    const auto second = RecordsFor(Bytes{5, 6}, "second.bin", 2);
    FeedAll(second);
    Feed(first[2]);  // stale: another transfer
    Feed(first.back());
    EXPECT_EQ(Tmp(), std::vector<std::string>{"second.bin"});
    EXPECT_EQ(OnlyVerdict().transferId, 2u);
}

// A link that ends while the worker waits on the disk: dropping the transfer
// returns at once, and the worker drops it when it next looks.
TEST_F(IncomingTransferTest, AbandonNeverWaitsForAWriteInProgress) {
    class SlowDisk : public FullDiskFileSystem {
      public:
        SlowDisk() : FullDiskFileSystem(SIZE_MAX) {}
        std::unique_ptr<IncomingFile> CreateExclusive(const std::filesystem::path& path) override {
            class GatedFile : public IncomingFile {
              public:
                GatedFile(std::unique_ptr<IncomingFile> real, SlowDisk& disk)
                    : real_(std::move(real)), disk_(disk) {}
                bool Write(const std::uint8_t* data, std::size_t size) override {
                    disk_.writing = true;
                    while (!disk_.release) {
                        std::this_thread::yield();
                    }
                    return real_->Write(data, size);
                }
                bool FlushAndClose() override { return real_->FlushAndClose(); }

              private:
                std::unique_ptr<IncomingFile> real_;
                SlowDisk& disk_;
            };
            return std::make_unique<GatedFile>(FullDiskFileSystem::CreateExclusive(path), *this);
        }
        std::atomic<bool> writing{false};
        std::atomic<bool> release{false};
    } disk;
    IncomingTransfer slowReceiver(port, dir.path() / "tmp", disk);
    const auto records = RecordsFor(testing::RandomBytes(600), "slow.bin");
    slowReceiver.Begin(records[0]);
    std::thread worker([&] { slowReceiver.Data(records[1]); });
    while (!disk.writing) {
        std::this_thread::yield();
    }
    auto abandon = std::async(std::launch::async, [&] { slowReceiver.Abandon(); });
    const bool returned = abandon.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    EXPECT_TRUE(returned) << "Abandon waited for the write";
    EXPECT_EQ(Tmp(), std::vector<std::string>{"slow.bin.part"});
    disk.release = true;
    worker.join();
    abandon.wait();
    slowReceiver.Data(records[2]);
    slowReceiver.End(records.back());
    EXPECT_TRUE(Tmp().empty());
    EXPECT_TRUE(port.QueuedResults().empty());
}

TEST_F(IncomingTransferTest, EndWithoutStartOrForAnotherTransferIsNotAnswered) {
    const auto records = RecordsFor(Bytes{1, 2}, "e.bin", 9);
    Feed(records.back());
    EXPECT_TRUE(port.QueuedResults().empty());
    Feed(records[0]);
    auto other = records.back();
    other.transferId = 10;
    Feed(other);
    EXPECT_TRUE(port.QueuedResults().empty());
    EXPECT_TRUE(port.Commands().empty());
}

TEST_F(IncomingTransferTest, CancelEndsTheMatchingTransferAndAnswersUnknownOnes) {
    const auto records = RecordsFor(testing::RandomBytes(600), "c.bin");
    Feed(records[0]);
    Feed(records[1]);
    TransferRecord cancel;
    cancel.type = RecordType::Cancel;
    cancel.transferId = kId + 1;
    Feed(cancel);  // another transfer: ignored
    EXPECT_TRUE(port.QueuedResults().empty());
    TransferRecord malformed = cancel;
    malformed.transferId = kId;
    malformed.value = 1;
    Feed(malformed);
    EXPECT_TRUE(port.QueuedResults().empty());

    cancel.transferId = kId;
    Feed(cancel);
    const TransferRecord verdict = OnlyVerdict();
    EXPECT_EQ(verdict.payload, Bytes{static_cast<std::uint8_t>(ResultCode::Cancelled)});
    EXPECT_EQ(verdict.offset, 256u);
    EXPECT_TRUE(Tmp().empty());

    FakePort idlePort;
    IncomingTransfer idle(idlePort, dir.path() / "tmp");
    cancel.transferId = 0xBEEF;
    idle.Cancel(cancel);
    const auto results = idlePort.QueuedResults();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].transferId, 0xBEEFu);
    EXPECT_EQ(results[0].offset, 0u);
    EXPECT_EQ(results[0].value, 0u);
    EXPECT_EQ(results[0].payload, Bytes{static_cast<std::uint8_t>(ResultCode::Cancelled)});
    EXPECT_TRUE(idlePort.TransferMessages().empty());
}

TEST_F(IncomingTransferTest, EchoOfTheVerdictQueuesTheSecondChangeoverOnce) {
    FeedAll(RecordsFor(Bytes{1, 2, 3}, "echo.bin"));
    const TransferRecord verdict = OnlyVerdict();
    TransferRecord stranger = verdict;
    stranger.transferId = kId + 5;
    receiver.EchoedResult(stranger);
    EXPECT_EQ(port.Commands().size(), 1u);
    EXPECT_TRUE(port.incomingTransferActive);

    receiver.EchoedResult(verdict);
    EXPECT_EQ(port.Commands(), (std::vector<std::string>{"%O", "%O"}));
    EXPECT_FALSE(port.incomingTransferActive);
    EXPECT_EQ(receiver.pendingResultId(), 0u);
    EXPECT_EQ(port.TransferMessages().back().kind, BinaryTransferKind::TransferStateChanged);

    receiver.EchoedResult(verdict);
    EXPECT_EQ(port.Commands().size(), 2u);
}

TEST_F(IncomingTransferTest, WithoutAnArqLinkTheVerdictIsDroppedAndTheFlagCleared) {
    const auto records = RecordsFor(Bytes{1, 2, 3}, "late.bin");
    Feed(records[0]);
    Feed(records[1]);
    EXPECT_TRUE(port.incomingTransferActive);
    port.arqConnected = false;
    Feed(records[2]);
    EXPECT_TRUE(port.QueuedResults().empty());
    EXPECT_TRUE(port.Commands().empty());
    EXPECT_FALSE(port.incomingTransferActive);
    EXPECT_EQ(receiver.pendingResultId(), 0u);
}

TEST_F(IncomingTransferTest, AbandonRemovesThePartialFileAndForgetsThePendingVerdict) {
    const auto records = RecordsFor(testing::RandomBytes(600), "gone.bin");
    Feed(records[0]);
    Feed(records[1]);
    EXPECT_EQ(Tmp(), std::vector<std::string>{"gone.bin.part"});
    receiver.Abandon();
    EXPECT_TRUE(Tmp().empty());
    Feed(records.back());
    EXPECT_TRUE(port.QueuedResults().empty());

    FeedAll(RecordsFor(Bytes{4}, "kept.bin", 77));
    EXPECT_EQ(receiver.pendingResultId(), 77u);
    receiver.Abandon();
    EXPECT_EQ(receiver.pendingResultId(), 0u);
    EXPECT_EQ(Tmp(), std::vector<std::string>{"kept.bin"});
}

}  // namespace
}  // namespace corvina
