#include "link/system_error.h"

#include <gtest/gtest.h>

#include <cerrno>

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

}  // namespace
}  // namespace corvina
