#include "link/system_error.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "link/executable_path.h"
#include "link/socket_layer.h"

namespace corvina {
namespace {

TEST(SystemErrorTextTest, GivesTheSystemsTextWithoutLineBreaks) {
#ifdef _WIN32
    const std::string known = SystemErrorText(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(known.empty());
    EXPECT_NE(known, "Windows error 2");
    // Codes the system has no text for fall back to the number.
    EXPECT_EQ(SystemErrorText(999999), "Windows error 999999");
    EXPECT_FALSE(ResolverErrorText(WSAHOST_NOT_FOUND).empty());
#else
    EXPECT_EQ(SystemErrorText(ENOENT), "No such file or directory");
    const std::string unknown = SystemErrorText(999999);
    EXPECT_NE(unknown.find("999999"), std::string::npos);
    EXPECT_EQ(ResolverErrorText(EAI_NONAME), gai_strerror(EAI_NONAME));
#endif
    const std::string refused = SystemErrorText(net::kConnectionRefused);
    EXPECT_FALSE(refused.empty());
    EXPECT_EQ(refused.find_first_of("\r\n"), std::string::npos);
}

TEST(ExecutablePathTest, SiblingLivesInTheFolderOfTheRunningProgram) {
    std::filesystem::path self;
    ASSERT_TRUE(ExecutablePath(self));
    EXPECT_TRUE(std::filesystem::exists(self));
    EXPECT_EQ(self.stem(), "link_script_test");
    std::filesystem::path sibling;
    ASSERT_TRUE(ExecutableSiblingPath("startup.txt", sibling));
    EXPECT_EQ(sibling, self.parent_path() / "startup.txt");
}

}  // namespace
}  // namespace corvina
