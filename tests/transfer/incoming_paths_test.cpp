#include "transfer/incoming_paths.h"

#include <gtest/gtest.h>

#include "fake_port.h"
#include "transfer/incoming_file.h"
#include "transfer/utf8_path.h"

namespace corvina {
namespace {

// Makes a symbolic link; false where the system has none to offer (Wine, or
// Windows without the privilege), and the test that needs one is skipped.
bool MakeSymlink(const std::filesystem::path& target, const std::filesystem::path& link) {
    std::error_code error;
    std::filesystem::create_symlink(target, link, error);
    return !error;
}

using testing::Bytes;
using testing::ListFolder;
using testing::ReadFile;
using testing::TempDir;

TEST(BuildIncomingPaths, TreatsPartFilesAndDanglingLinksAsTaken) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "tmp");
    dir.Write("tmp/b.bin.part", Bytes{});
    if (!MakeSymlink(dir.path() / "nowhere", dir.path() / "tmp" / "b (1).bin")) {
        GTEST_SKIP() << "no symbolic links on this system";
    }
    std::filesystem::path finalPath;
    std::filesystem::path tempPath;
    ASSERT_TRUE(BuildIncomingPaths(dir.path() / "tmp", "b.bin", finalPath, tempPath));
    EXPECT_EQ(finalPath.filename(), "b (2).bin");
}

TEST(BuildIncomingPaths, CreatesMissingFoldersButFailsWithoutOneOrWhenEveryNameIsTaken) {
    TempDir blocked;
    blocked.Write("tmp", Bytes{1});
    std::filesystem::path finalPath;
    std::filesystem::path tempPath;
    EXPECT_FALSE(BuildIncomingPaths({}, "a", finalPath, tempPath));
    EXPECT_FALSE(BuildIncomingPaths(blocked.path() / "tmp", "a", finalPath, tempPath));
    EXPECT_FALSE(BuildIncomingPaths(blocked.path() / "tmp" / "deeper", "a", finalPath, tempPath));
    ASSERT_TRUE(
        BuildIncomingPaths(blocked.path() / "share" / "received", "a", finalPath, tempPath));
    EXPECT_EQ(finalPath, blocked.path() / "share" / "received" / "a");

    TempDir full;
    std::filesystem::create_directory(full.path() / "tmp");
    full.Write("tmp/z", Bytes{});
    for (int n = 1; n <= kMaxCollisionNumber; ++n) {
        full.Write("tmp/z (" + std::to_string(n) + ")", Bytes{});
    }
    EXPECT_FALSE(BuildIncomingPaths(full.path() / "tmp", "z", finalPath, tempPath));
    full.Write("tmp/other", Bytes{});
    EXPECT_TRUE(BuildIncomingPaths(full.path() / "tmp", "other.x", finalPath, tempPath));
}

TEST(IncomingFileSystem, CreatesOnlyNewFilesAndNeverFollowsLinks) {
    TempDir dir;
    IncomingFileSystem& fs = SystemIncomingFileSystem();
    const Bytes outside = {'k', 'e', 'e', 'p'};
    const auto victim = dir.Write("victim", outside);
    if (!MakeSymlink(victim, dir.path() / "link.part") ||
        !MakeSymlink(dir.path() / "absent", dir.path() / "dangling.part")) {
        GTEST_SKIP() << "no symbolic links on this system";
    }
    dir.Write("exists.part", Bytes{9});

    EXPECT_EQ(fs.CreateExclusive(dir.path() / "link.part"), nullptr);
    EXPECT_EQ(fs.CreateExclusive(dir.path() / "dangling.part"), nullptr);
    EXPECT_EQ(fs.CreateExclusive(dir.path() / "exists.part"), nullptr);
    EXPECT_EQ(ReadFile(victim), outside);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "absent"));
    EXPECT_EQ(ReadFile(dir.path() / "exists.part"), Bytes{9});
}

TEST(IncomingFileSystem, WritesNonExecutableFiles) {
    TempDir dir;
    IncomingFileSystem& fs = SystemIncomingFileSystem();
    const Bytes data = testing::RandomBytes(200000);
    auto file = fs.CreateExclusive(dir.path() / "new.part");
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(file->Write(data.data(), data.size()));
    ASSERT_TRUE(file->FlushAndClose());
    using std::filesystem::perms;
    const perms mode = std::filesystem::status(dir.path() / "new.part").permissions();
    EXPECT_EQ(mode & (perms::owner_exec | perms::group_exec | perms::others_exec), perms::none);
}

}  // namespace
}  // namespace corvina
