#include "transfer/incoming_paths.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "fake_port.h"
#include "transfer/incoming_file.h"
#include "transfer/rename_without_replacing.h"
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

TEST(BuildIncomingPaths, TakesTheFirstFreeNameAndCreatesMissingFolders) {
    TempDir dir;
    std::filesystem::path finalPath;
    std::filesystem::path tempPath;
    EXPECT_FALSE(BuildIncomingPaths({}, "a", finalPath, tempPath));
    ASSERT_TRUE(BuildIncomingPaths(dir.path() / "share" / "in", "a", finalPath, tempPath));
    EXPECT_EQ(finalPath, dir.path() / "share" / "in" / "a");

    const auto in = dir.path() / "share" / "in";
    dir.Write("share/in/z", Bytes{});
    for (int n = 1; n <= kMaxCollisionNumber; ++n) {
        dir.Write("share/in/z (" + std::to_string(n) + ")", Bytes{});
    }
    EXPECT_FALSE(BuildIncomingPaths(in, "z", finalPath, tempPath));
    // A part file or a dangling link takes its name too.
    dir.Write("share/in/b.bin.part", Bytes{});
    if (!MakeSymlink(dir.path() / "nowhere", in / "b (1).bin")) {
        GTEST_SKIP() << "no symbolic links on this system";
    }
    ASSERT_TRUE(BuildIncomingPaths(in, "b.bin", finalPath, tempPath));
    EXPECT_EQ(finalPath.filename(), "b (2).bin");
}

TEST(IncomingFileSystem, CreatesOnlyNewNonExecutableFilesAndNeverFollowsLinks) {
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
    EXPECT_EQ(fs.CreateExclusive(dir.path() / "new.part"), nullptr);
    EXPECT_EQ(ReadFile(dir.path() / "new.part"), data);

    const Bytes outside = {'k', 'e', 'e', 'p'};
    const auto victim = dir.Write("victim", outside);
    if (!MakeSymlink(victim, dir.path() / "link.part") ||
        !MakeSymlink(dir.path() / "absent", dir.path() / "dangling.part")) {
        GTEST_SKIP() << "no symbolic links on this system";
    }
    EXPECT_EQ(fs.CreateExclusive(dir.path() / "link.part"), nullptr);
    EXPECT_EQ(fs.CreateExclusive(dir.path() / "dangling.part"), nullptr);
    EXPECT_EQ(ReadFile(victim), outside);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "absent"));
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
