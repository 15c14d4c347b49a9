#include "transfer/rename_without_replacing.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "fake_port.h"

namespace corvina {
namespace {

using testing::Bytes;
using testing::ListFolder;
using testing::ReadFile;

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

}  // namespace
}  // namespace corvina
