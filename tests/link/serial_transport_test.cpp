#include "link/serial_transport.h"

#include <gmock/gmock.h>
#include <grp.h>
#include <sys/resource.h>

#include <fstream>

#include "link/device_wait.h"
#include "link/serial_diagnostics.h"
#include "pseudo_terminal.h"
#include "support/temporary_folder.h"

namespace corvina {
namespace {

using namespace std::chrono_literals;
using testing::Bytes;
using testing::Clock;
using ::testing::HasSubstr;
using testing::PseudoTerminal;
using testing::ReadBytes;
using ::testing::StartsWith;
using testing::WriteAll;

class SerialTransportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        transport = CreateSerialTransport(pty.slavePath16());
        std::string error;
        ASSERT_TRUE(transport->Open(error)) << error;
    }

    PseudoTerminal pty;
    std::unique_ptr<ITransport> transport;
};

TEST_F(SerialTransportTest, RawEightBitLineCarriesEveryByteBothWaysWhileTheDeviceDrains) {
    termios settings{};
    ASSERT_EQ(tcgetattr(pty.slave(), &settings), 0);
    EXPECT_EQ(settings.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD),
              static_cast<tcflag_t>(CS8 | CLOCAL | CREAD));
    EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG), 0u);

    // Far more than the terminal buffers: the write must wait for the device.
    // Every byte value both ways shows that no input or output processing is on.
    const Bytes big = testing::Pattern(300000);
    Bytes received;
    std::thread device([&] { received = ReadBytes(pty.master(), big.size(), 10000ms); });
    std::string error;
    EXPECT_TRUE(transport->Write(nullptr, 0, error)) << error;
    EXPECT_TRUE(transport->Write(big.data(), big.size(), error)) << error;
    device.join();
    EXPECT_EQ(received, big);
    const Bytes all = testing::Pattern(256);
    ASSERT_TRUE(WriteAll(pty.master(), all));
    EXPECT_EQ(testing::ReadFromTransport(*transport, all.size()), all);
}

TEST_F(SerialTransportTest, ReopenPurgesPendingInputAndASecondTransportWaitsForTheFirst) {
    ASSERT_TRUE(WriteAll(pty.master(), Bytes(20, 'z')));
    std::this_thread::sleep_for(50ms);
    std::string error;
    ASSERT_TRUE(transport->Open(error)) << error;
    Bytes buffer(64);
    EXPECT_EQ(transport->Read(buffer.data(), buffer.size(), 100, error), 0);
    ASSERT_TRUE(WriteAll(pty.master(), {'y'}));
    EXPECT_EQ(testing::ReadFromTransport(*transport, 1), Bytes{'y'});

    auto second = CreateSerialTransport(pty.slavePath16());
    EXPECT_FALSE(second->Open(error));
    EXPECT_THAT(error, StartsWith("Cannot open " + pty.slavePath() + ": "));
    EXPECT_THAT(error, HasSubstr("in use by"));
    EXPECT_THAT(error, HasSubstr("(pid " + std::to_string(getpid()) + ")"));
    transport->Close();
    error.clear();
    EXPECT_TRUE(second->Open(error)) << error;
}

TEST_F(SerialTransportTest, DeviceVanishingDuringAWaitEndsTheReadAndFailsWrites) {
    pty.CloseSlave();
    std::thread unplug([&] {
        std::this_thread::sleep_for(50ms);
        pty.CloseMaster();
    });
    Bytes buffer(64);
    std::string error;
    const auto start = Clock::now();
    EXPECT_EQ(transport->Read(buffer.data(), buffer.size(), 20000, error), -1);
    EXPECT_LT(Clock::now() - start, 5s);
    unplug.join();
    EXPECT_THAT(error, StartsWith("COM read failed: "));
    error.clear();
    // Gone for good: the next read fails at once rather than reporting no data.
    EXPECT_EQ(transport->Read(buffer.data(), buffer.size(), 100, error), -1);
    EXPECT_THAT(error, StartsWith("COM read failed: "));
    error.clear();
    EXPECT_FALSE(transport->Write(buffer.data(), buffer.size(), error));
    EXPECT_THAT(error, StartsWith("COM write failed: "));

    transport->Close();
    transport->Close();
    error.clear();
    EXPECT_EQ(transport->Read(buffer.data(), buffer.size(), 0, error), -1);
    EXPECT_EQ(error, "COM port is not connected");
    error.clear();
    EXPECT_FALSE(transport->Write(buffer.data(), 0, error));
    EXPECT_EQ(error, "COM port is not connected");
}

TEST(SerialTransportOpenTest, RateIsKeptAtZeroOrSetAndFailuresNameThePortAndTheStep) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    termios settings{};
    tcgetattr(pty.slave(), &settings);
    cfsetspeed(&settings, B4800);
    ASSERT_EQ(tcsetattr(pty.slave(), TCSANOW, &settings), 0);
    const struct {
        std::u16string port;
        std::uint32_t rate;
        std::string error;  // empty: opens, and the line then runs at `speed`
        speed_t speed;
    } cases[] = {
        {pty.slavePath16(), 0, "", B4800},
        {pty.slavePath16(), 115200, "", B115200},
        {u"/dev/corvina-no-such-port", 0,
         "Cannot open /dev/corvina-no-such-port: No such file or directory", 0},
        {u"/dev/null", 0, "Cannot read /dev/null settings: Inappropriate ioctl for device", 0},
        {pty.slavePath16(), 12345,
         "Cannot configure " + pty.slavePath() + " for 12345 baud: Invalid argument", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        auto transport = CreateSerialTransport(c.port, c.rate);
        std::string error;
        EXPECT_EQ(transport->Open(error), c.error.empty());
        EXPECT_EQ(error, c.error);
        if (c.error.empty()) {
            tcgetattr(pty.slave(), &settings);
            EXPECT_EQ(cfgetospeed(&settings), c.speed);
            EXPECT_EQ(cfgetispeed(&settings), c.speed);
        } else {
            std::uint8_t byte = 0;
            EXPECT_EQ(transport->Read(&byte, 1, 0, error), -1) << "left open after a failed Open";
        }
    }
}

TEST(SerialTransportOpenTest, RefusedAccessNamesTheGroupThatOwnsTheDevice) {
    namespace fs = std::filesystem;
    testing::TemporaryFolder folder;
    const fs::path device = folder.WriteFile("ttyRESTRICTED", "");
    fs::permissions(folder.path(),
                    fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(device, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                fs::perms::group_write);
    ASSERT_EQ(chown(device.c_str(), 0, 0), 0);
    // Open as nobody, without root's groups, then become root again.
    std::vector<gid_t> groups(static_cast<std::size_t>(getgroups(0, nullptr)));
    groups.resize(
        static_cast<std::size_t>(getgroups(static_cast<int>(groups.size()), groups.data())));
    ASSERT_EQ(setgroups(0, nullptr), 0) << "needs root";
    ASSERT_EQ(setegid(65534) | seteuid(65534), 0);
    std::string error;
    EXPECT_FALSE(CreateSerialTransport(device.u16string())->Open(error));
    ASSERT_EQ(seteuid(0) | setegid(0) | setgroups(groups.size(), groups.data()), 0);
    EXPECT_EQ(error,
              "Cannot open " + device.string() +
                  ": Permission denied (the device belongs to group root; run \"sudo usermod "
                  "-aG root $USER\", then log in again)");
}

// A fake /sys tree keeps the hint independent of what is plugged in here; the
// holder of a busy port is found in the real /proc by the reopen case.
TEST(SerialDiagnosticsTest, LatencyHintIsReadFromTheSystemTree) {
    namespace fs = std::filesystem;
    testing::TemporaryFolder root;
    const fs::path device = root.WriteFile("ttyUSB0", "");
    const fs::path byId = root.path() / "usb-FTDI_FT232R_A1B2-if00-port0";
    fs::create_symlink(device, byId);
    const fs::path timer = root.path() / "sys/class/tty/ttyUSB0/device/latency_timer";
    fs::create_directories(timer.parent_path());
    EXPECT_EQ(SerialPortHolder((root.path() / "absent").string()), "");
    EXPECT_EQ(SerialLatencyHint((root.path() / "absent").string(), root.path() / "sys"), "");
    const struct {
        const char* content;
        bool hint;
    } timers[] = {{"16\n", true}, {"2\n", false}, {"1", false}, {"", false}, {"x9", false}};
    for (const auto& [content, hint] : timers) {
        SCOPED_TRACE(content);
        std::ofstream(timer) << content;
        const std::string text = SerialLatencyHint(byId.string(), root.path() / "sys");
        EXPECT_EQ(!text.empty(), hint);
        if (hint) {
            EXPECT_THAT(text, StartsWith(byId.string() + ": "));
            EXPECT_THAT(text, HasSubstr("16 ms"));
            EXPECT_THAT(text, HasSubstr("ATTR{latency_timer}=\"1\""));
        }
    }
}

// The select() wait macOS uses behaves like poll() on a terminal and refuses
// a descriptor its set cannot hold.
TEST(DeviceWaitTest, SelectSeesTheTerminalReadableAndWritableAndRefusesADescriptorBeyondItsSet) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    pollfd entry{pty.slave(), POLLIN, 0};
    EXPECT_EQ(WaitDeviceWithSelect(entry, 20), 0);
    ASSERT_EQ(write(pty.master(), "x", 1), 1);
    entry = {pty.slave(), POLLIN, 0};
    ASSERT_EQ(WaitDeviceWithSelect(entry, 2000), 1);
    EXPECT_EQ(entry.revents, POLLIN);
    entry = {pty.slave(), POLLOUT, 0};
    ASSERT_EQ(WaitDeviceWithSelect(entry, 2000), 1);
    EXPECT_EQ(entry.revents, POLLOUT);

    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    const rlimit saved = limit;
    limit.rlim_cur = std::max<rlim_t>(limit.rlim_cur, std::min<rlim_t>(limit.rlim_max, 2048));
    setrlimit(RLIMIT_NOFILE, &limit);
    const int high = dup2(pty.slave(), FD_SETSIZE + 1);
    setrlimit(RLIMIT_NOFILE, &saved);
    pollfd negative{-1, POLLIN, 0};
    EXPECT_EQ(WaitDeviceWithSelect(negative, 0), -1);
    if (high < 0) {
        GTEST_SKIP() << "cannot open a descriptor above FD_SETSIZE here";
    }
    entry = {high, POLLIN, 0};
    errno = 0;
    EXPECT_EQ(WaitDeviceWithSelect(entry, 0), -1);
    EXPECT_EQ(errno, EINVAL);
    close(high);
}

}  // namespace
}  // namespace corvina
