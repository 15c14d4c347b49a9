#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <thread>

#include "cvfile/transfer_data.h"
#include "transfer/incoming_file.h"
#include "transfer/incoming_name.h"
#include "transfer/incoming_paths.h"
#include "transfer/incoming_transfer.h"
#include "transfer/record_stream.h"
#include "transfer/rename_without_replacing.h"
#include "transfer/transfer_id.h"
#include "transfer_harness.h"

namespace corvina {
namespace {

using cvfile::RecordType;
using cvfile::ResultCode;
using cvfile::TransferRecord;
using testing::Bytes;
using testing::ListFolder;
using testing::ReadFile;
using testing::TempDir;

constexpr std::uint64_t kId = 0x1234;

std::vector<TransferRecord> RecordsFor(const Bytes& file, const std::string& name,
                                       std::uint64_t id = kId) {
    const std::atomic<bool> abort{false};
    return testing::DecodeStream(BuildBinaryRecordStream(file, name, id, abort).bytes);
}

// What goes wrong on a disk: writes fail past `budget` bytes (a full disk),
// creation fails with `refuse` (another program took the name first), closing
// or renaming fails when told.
struct DiskFaults {
    std::size_t budget = SIZE_MAX;
    bool refuse = false;
    bool failClose = false;
    bool failRename = false;
};

// The real disk with `faults`; with `gated` every write waits for `release`.
class FakeDisk : public IncomingFileSystem {
  public:
    std::unique_ptr<IncomingFile> CreateExclusive(const std::filesystem::path& path) override {
        auto real = faults.refuse ? nullptr : SystemIncomingFileSystem().CreateExclusive(path);
        return real ? std::make_unique<File>(std::move(real), *this) : nullptr;
    }
    bool RenameWithoutReplacing(const std::filesystem::path& from,
                                const std::filesystem::path& to) override {
        return !faults.failRename && SystemIncomingFileSystem().RenameWithoutReplacing(from, to);
    }
    void Remove(const std::filesystem::path& path) override {
        removed.push_back(path);
        SystemIncomingFileSystem().Remove(path);
    }

    DiskFaults faults;
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
            const std::size_t n = std::min(size, disk_.faults.budget);
            disk_.faults.budget -= n;
            return real_->Write(data, n) && n == size;
        }
        bool FlushAndClose() override { return real_->FlushAndClose() && !disk_.faults.failClose; }

      private:
        std::unique_ptr<IncomingFile> real_;
        FakeDisk& disk_;
    };
};

struct Receiver : testing::IdleSession {
    explicit Receiver(const std::filesystem::path& folder) : in(port, folder, disk) {}

    void Feed(const std::vector<TransferRecord>& records) {
        using T = IncomingTransfer;
        // By record type, from Start (1) to Cancel (5).
        static constexpr void (T::*kHandlers[])(const TransferRecord&) = {
            nullptr, &T::Begin, &T::Data, &T::End, &T::EchoedResult, &T::Cancel};
        for (const TransferRecord& record : records) {
            (in.*kHandlers[static_cast<int>(record.type)])(record);
        }
    }
    TransferRecord Verdict() {
        const auto verdicts = Verdicts();
        EXPECT_EQ(verdicts.size(), 1u);
        return verdicts.empty() ? TransferRecord{} : verdicts.front();
    }

    FakeDisk disk;
    IncomingTransfer in;
};

class IncomingTransferTest : public ::testing::Test {
  protected:
    std::filesystem::path folder() const { return dir.path() / "tmp"; }
    std::vector<std::string> Tmp() const { return ListFolder(folder()); }

    testing::TempDir dir;
    Receiver r{folder()};
};

// Each case breaks a correct transfer of 600 random bytes (five records) or
// of 5,000 equal ones (three, compressed), or the disk under it.
TEST_F(IncomingTransferTest, BrokenTransfersEndWithTheirVerdictAndNothingLeft) {
    using Records = std::vector<TransferRecord>;
    const auto announce = [](Records& r, std::uint64_t size) {
        r.front().offset = size;
        r.back().offset = size;
    };
    constexpr ResultCode kFileError = ResultCode::FileError;
    struct Case {
        const char* label;
        bool compressed;
        std::function<void(Records&)> mutate;
        ResultCode code = ResultCode::ProtocolError;
        DiskFaults disk = {};
        const char* folder = "tmp";
    };
    const Case cases[] = {
        {"data record repeated", false, [](Records& r) { r.insert(r.begin() + 2, r[1]); }},
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
        {"unknown mode", false, [](Records& r) { r.front().sequence = 3; }, ResultCode::Rejected},
        {"compressed and empty", true, [&](Records& r) { announce(r, 0); }, ResultCode::Rejected},
        {"file CRC differs from the announced one", false,
         [](Records& r) {
             r.front().value ^= 1;
             r.back().value ^= 1;
         },
         ResultCode::CrcError},
        {"disk full during plain data", false, nullptr, kFileError, {.budget = 300}},
        {"disk full while inflating", true, nullptr, kFileError, {.budget = 10}},
        {"file cannot be closed", false, nullptr, kFileError, {.failClose = true}},
        {"file cannot be renamed", false, nullptr, kFileError, {.failRename = true}},
        {"another program's part file", false, nullptr, kFileError, {.refuse = true}},
        {"name refused", false,
         [](Records& r) {
             r.front().payload = Bytes{'a', 'u', 'x'};
         },
         ResultCode::Rejected},
        // Passes the name check, but no file system here stores a name that long.
        {"name of 1,024 bytes", false, [](Records& r) { r.front().payload = Bytes(1024, 'n'); },
         kFileError},
        {"receive folder cannot be made", false, nullptr, kFileError, {}, "file/tmp"},
    };
    dir.Write("file", Bytes{1});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Receiver receiver(dir.path() / c.folder);
        receiver.disk.faults = c.disk;
        auto records = c.compressed ? RecordsFor(Bytes(5000, 'c'), "bad.bin")
                                    : RecordsFor(testing::RandomBytes(600), "bad.bin");
        ASSERT_EQ(records.size(), c.compressed ? 3u : 5u);
        if (c.mutate) {
            c.mutate(records);
        }
        receiver.Feed(records);
        EXPECT_EQ(receiver.Verdict().payload, Bytes{static_cast<std::uint8_t>(c.code)});
        EXPECT_TRUE(Tmp().empty()) << ::testing::PrintToString(Tmp());
        if (c.disk.refuse) {
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
    r.in.Abandon();  // a wait for the write would hang here: the write waits for the test
    EXPECT_EQ(Tmp(), std::vector<std::string>{"slow.bin.part"});
    r.disk.release = true;
    worker.join();
    r.Feed({records[2], records.back()});
    EXPECT_TRUE(Tmp().empty());
    EXPECT_TRUE(r.Verdicts().empty());
}

TEST_F(IncomingTransferTest, StrayRecordsAndVerdictsWithoutAnArqLinkGoUnanswered) {
    const auto records = RecordsFor(Bytes{1, 2, 3}, "e.bin", 9);
    auto other = records.back();
    other.transferId = 10;
    const TransferRecord echo{RecordType::Result, 10, 0, 2, 0, {0}};  // of no verdict sent
    const TransferRecord cancels[] = {{RecordType::Cancel, 10, 0, 0, 0, {}},
                                      {RecordType::Cancel, 9, 0, 0, 1, {}}};
    // An End without a Start, then one for another transfer, a strange echo,
    // and cancels for another transfer or with a value set.
    r.Feed({records.back(), records[0], other, echo, cancels[0], cancels[1], records[1]});
    EXPECT_TRUE(r.session.incomingTransferActive);
    r.session.arqConnected = false;
    r.Feed({records.back()});
    EXPECT_TRUE(r.NothingQueued());
    EXPECT_FALSE(r.session.incomingTransferActive);
    EXPECT_EQ(r.in.pendingResultId(), 0u);
}

cvfile::TransferRecord StartNamed(const std::string& name) {
    return {cvfile::RecordType::Start, 7, 0, 10, 0, {name.begin(), name.end()}};
}

TEST(IncomingName, AcceptsOrdinaryNamesUpTo1024BytesAndRefusesUnsafeOnes) {
    for (const std::string& name : std::vector<std::string>{
             "a.txt", ".profile", "archive.tar.gz", "Grüße ünd €.bin", "consul.txt", "com10",
             "lpt0.dat", "CONOUT", "CONS", "COM0", "LPT", "auxiliary.dat", "xnul", "COM1x",
             std::string(1024, 'n')}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(IsWindowsDeviceName(name));
        EXPECT_EQ(AcceptedIncomingName(StartNamed(name)), name);
    }
    const struct {
        const char* why;
        std::vector<std::string> names;
    } refused[] = {
        {"empty, dots and trailing spaces", {"", ".", "..", "name.", "name "}},
        {"separators and reserved characters",
         {"a/b", "a\\b", "c:x", "a\"b", "a*b", "a<b", "a>b", "a?b", "a|b"}},
        {"control characters", {"tab\there", "bell\x07", "nul\x7f\x01"}},
        {"broken UTF-8", {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "ok\xFF"}},
        {"overlong UTF-8", {"\xE0\x80\x80", "\xF0\x80\x80\x80", "\xE4\xB8\x41"}},
        {"over 1,024 bytes", {std::string(1025, 'n')}},
    };
    for (const auto& group : refused) {
        for (const std::string& name : group.names) {
            SCOPED_TRACE(group.why + (": " + ::testing::PrintToString(name)));
            EXPECT_FALSE(AcceptedIncomingName(StartNamed(name)));
        }
    }
    // Windows device names in any case, with extensions and superscript digits.
    for (const std::string name :
         {"CON", "prn", "Aux", "nul", "COM1", "com9", "LPT1", "lpt9", "CONIN$", "conout$",
          "aux.dat", "NUL.tar.gz", "nul .txt", "COM\xC2\xB9", "lpt\xC2\xB3.log"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(IsWindowsDeviceName(name));
        EXPECT_FALSE(AcceptedIncomingName(StartNamed(name)));
    }
}

TEST(TransferId, DiffersWithinOneClockTickAndIsNeverZero) {
    EXPECT_NE(MixTransferId(1000, 42, 1), MixTransferId(1000, 42, 2));
    const std::uint64_t first = NewTransferId();
    EXPECT_NE(first, 0u);
    EXPECT_NE(first, NewTransferId());
}

// Numbering in order is checked end to end; here its limit and the names
// that count as taken.
TEST(BuildIncomingPaths, TakesTheFirstFreeName) {
    TempDir dir;
    std::filesystem::path finalPath;
    std::filesystem::path tempPath;
    const auto in = dir.path();
    dir.Write("z", Bytes{});
    for (int n = 1; n <= kMaxCollisionNumber; ++n) {
        dir.Write("z (" + std::to_string(n) + ")", Bytes{});
    }
    EXPECT_FALSE(BuildIncomingPaths(in, "z", finalPath, tempPath));
    // A part file takes its name too.
    dir.Write("b.bin.part", Bytes{});
    ASSERT_TRUE(BuildIncomingPaths(in, "b.bin", finalPath, tempPath));
    EXPECT_EQ(finalPath.filename(), "b (1).bin");
}

TEST(IncomingFileSystem, CreatesOnlyNewNonExecutableFiles) {
    TempDir dir;
    IncomingFileSystem& fs = SystemIncomingFileSystem();
    auto file = fs.CreateExclusive(dir.path() / "new.part");
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(file->FlushAndClose());
    using std::filesystem::perms;
    const perms mode = std::filesystem::status(dir.path() / "new.part").permissions();
    EXPECT_EQ(mode & (perms::owner_exec | perms::group_exec | perms::others_exec), perms::none);
    EXPECT_EQ(fs.CreateExclusive(dir.path() / "new.part"), nullptr);
}

// Wine, and Windows without the privilege, cannot make symbolic links; there
// this test is reported as skipped.
TEST(IncomingLinks, ADanglingLinkTakesItsNameAndNoLinkIsFollowed) {
    TempDir dir;
    const Bytes outside = {'k', 'e', 'e', 'p'};
    const auto victim = dir.Write("victim", outside);
    std::error_code error;
    for (const auto& [target, link] : {std::pair{victim, dir.path() / "link.part"},
                                       {dir.path() / "absent", dir.path() / "dangling.part"},
                                       {dir.path() / "nowhere", dir.path() / "b (1).bin"}}) {
        std::filesystem::create_symlink(target, link, error);
        if (error) {
            GTEST_SKIP() << "no symbolic links on this system: " << error.message();
        }
    }
    IncomingFileSystem& fs = SystemIncomingFileSystem();
    EXPECT_EQ(fs.CreateExclusive(dir.path() / "link.part"), nullptr);
    EXPECT_EQ(fs.CreateExclusive(dir.path() / "dangling.part"), nullptr);
    EXPECT_EQ(ReadFile(victim), outside);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "absent"));
    std::filesystem::path finalPath;
    std::filesystem::path tempPath;
    dir.Write("b.bin.part", Bytes{});
    ASSERT_TRUE(BuildIncomingPaths(dir.path(), "b.bin", finalPath, tempPath));
    EXPECT_EQ(finalPath.filename(), "b (2).bin");
}

#ifndef _WIN32
int NoExclusiveRename(const char*, const char*) {
    return EINVAL;
}
int NoHardLinks(const char*, const char*) {
    return EPERM;  // what vfat answers
}

// Every way down the fallbacks keeps the one guarantee: the file moves whole
// to a free name, and a taken name is never replaced.
TEST(RenameWithoutReplacing, MovesToAFreeNameAndNeverReplacesOnEveryVolumeKind) {
    const struct {
        const char* label;
        RenameCalls calls;
    } cases[] = {
        {"this system", SystemRenameCalls()},
        {"no exclusive rename", {NoExclusiveRename, SystemRenameCalls().hardLink}},
        {"no hard links either (FAT)", {NoExclusiveRename, NoHardLinks}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        testing::TempDir dir;
        const Bytes data = testing::RandomBytes(150000, 7);
        const auto part = dir.Write("new.part", data);
        dir.Write("taken", Bytes{7});

        EXPECT_FALSE(RenameWithoutReplacing(part, dir.path() / "taken", c.calls));
        EXPECT_FALSE(RenameWithoutReplacing(part, dir.path() / "missing" / "x", c.calls));
        EXPECT_FALSE(RenameWithoutReplacing(dir.path() / "absent", dir.path() / "y", c.calls));
        EXPECT_EQ(ReadFile(dir.path() / "taken"), Bytes{7});
        EXPECT_EQ(ReadFile(part), data);

        EXPECT_TRUE(RenameWithoutReplacing(part, dir.path() / "free", c.calls));
        EXPECT_EQ(ReadFile(dir.path() / "free"), data);
        EXPECT_EQ(ListFolder(dir.path()), (std::vector<std::string>{"free", "taken"}));
    }
}
#endif

}  // namespace
}  // namespace corvina
