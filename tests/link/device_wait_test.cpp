#include "link/device_wait.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "pseudo_terminal.h"

namespace corvina {
namespace {

// The poll() wait and the select() one macOS uses behave alike on a terminal.
TEST(DeviceWaitTest, TerminalBecomesReadableWhenTheDeviceSendsAndIsWritable) {
    const struct {
        const char* label;
        int (*wait)(pollfd&, int);
    } cases[] = {{"WaitDevice", WaitDevice}, {"WaitDeviceWithSelect", WaitDeviceWithSelect}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        testing::PseudoTerminal pty;
        ASSERT_TRUE(pty.ok());
        pollfd entry{pty.slave(), POLLIN, 0};
        EXPECT_EQ(c.wait(entry, 20), 0);
        ASSERT_EQ(write(pty.master(), "x", 1), 1);
        entry = {pty.slave(), POLLIN, 0};
        ASSERT_EQ(c.wait(entry, 2000), 1);
        EXPECT_NE(entry.revents & POLLIN, 0);
        entry = {pty.slave(), POLLOUT, 0};
        ASSERT_EQ(c.wait(entry, 2000), 1);
        EXPECT_EQ(entry.revents & POLLIN, 0);
        EXPECT_NE(entry.revents & POLLOUT, 0);
    }
}

TEST(DeviceWaitTest, SelectRefusesADescriptorBeyondItsSet) {
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    const rlimit saved = limit;
    if (limit.rlim_cur <= FD_SETSIZE) {
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, FD_SETSIZE + 16);
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    testing::PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    const int high = dup2(pty.slave(), FD_SETSIZE + 1);
    if (high < 0) {
        setrlimit(RLIMIT_NOFILE, &saved);
        GTEST_SKIP() << "cannot open a descriptor above FD_SETSIZE here";
    }
    pollfd entry{high, POLLIN, 0};
    errno = 0;
    EXPECT_EQ(WaitDeviceWithSelect(entry, 0), -1);
    EXPECT_EQ(errno, EINVAL);
    close(high);
    setrlimit(RLIMIT_NOFILE, &saved);
}

}  // namespace
}  // namespace corvina
