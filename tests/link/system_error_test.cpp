#include "link/system_error.h"

#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>

#include "link/executable_path.h"

namespace corvina {
namespace {

TEST(SystemErrorTextTest, GivesTheSystemsTextWithoutLineBreaks) {
    EXPECT_EQ(SystemErrorText(ENOENT), "No such file or directory");
    EXPECT_EQ(SystemErrorText(ECONNREFUSED), "Connection refused");
    const std::string unknown = SystemErrorText(999999);
    EXPECT_FALSE(unknown.empty());
    EXPECT_NE(unknown.find("999999"), std::string::npos);
    EXPECT_EQ(unknown.find('\n'), std::string::npos);
    EXPECT_EQ(ResolverErrorText(EAI_NONAME), gai_strerror(EAI_NONAME));
}

TEST(ExecutablePathTest, SiblingLivesInTheFolderOfTheRunningProgram) {
    std::filesystem::path self;
    ASSERT_TRUE(ExecutablePath(self));
    EXPECT_TRUE(std::filesystem::exists(self));
    EXPECT_EQ(self.filename(), "link_script_test");
    std::filesystem::path sibling;
    ASSERT_TRUE(ExecutableSiblingPath("startup.txt", sibling));
    EXPECT_EQ(sibling, self.parent_path() / "startup.txt");
}

}  // namespace
}  // namespace corvina
