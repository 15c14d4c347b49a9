#include "link/serial_transport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <termios.h>

#include <fstream>
#include <thread>

#include "fd_io.h"
#include "link/serial_diagnostics.h"
#include "pseudo_terminal.h"
#include "support/temporary_folder.h"

namespace corvina {
namespace {

using namespace std::chrono_literals;
using testing::AllByteValues;
using testing::Clock;
using ::testing::HasSubstr;
using testing::PseudoTerminal;
using testing::ReadBytes;
using ::testing::StartsWith;
using testing::WriteAll;
using Bytes = std::vector<std::uint8_t>;

class SerialTransportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        transport = CreateSerialTransport(pty.slavePath16());
        std::string error;
        ASSERT_TRUE(transport->Open(error)) << error;
    }

    Bytes ReadFromTransport(std::size_t count) {
        Bytes got;
        const auto deadline = Clock::now() + 5s;
        while (got.size() < count && Clock::now() < deadline) {
            Bytes buffer(4096);
            std::string error;
            const std::int32_t n = transport->Read(buffer.data(), buffer.size(), 200, error);
            if (n < 0) {
                ADD_FAILURE() << error;
                break;
            }
            got.insert(got.end(), buffer.begin(), buffer.begin() + n);
        }
        return got;
    }

    PseudoTerminal pty;
    std::unique_ptr<ITransport> transport;
};

TEST_F(SerialTransportTest, EveryByteValueTravelsBothWaysUnchanged) {
    const Bytes all = AllByteValues();
    std::string error;
    EXPECT_TRUE(transport->Write(nullptr, 0, error)) << error;
    ASSERT_TRUE(transport->Write(all.data(), all.size(), error)) << error;
    EXPECT_EQ(ReadBytes(pty.master(), all.size(), 2000ms), all);
    ASSERT_TRUE(WriteAll(pty.master(), all));
    EXPECT_EQ(ReadFromTransport(all.size()), all);
}

TEST_F(SerialTransportTest, OpenLeavesTheLineRawEightBitWithoutFlowControl) {
    termios settings{};
    ASSERT_EQ(tcgetattr(pty.slave(), &settings), 0);
    EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(settings.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_NE(settings.c_cflag & CLOCAL, 0u);
    EXPECT_NE(settings.c_cflag & CREAD, 0u);
    EXPECT_EQ(settings.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(settings.c_oflag & OPOST, 0u);
}

TEST_F(SerialTransportTest, LargeWriteArrivesWholeWhileTheDeviceDrains) {
    Bytes big(300000);
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<std::uint8_t>(i * 7);
    }
    Bytes received;
    std::thread device([&] { received = ReadBytes(pty.master(), big.size(), 10000ms); });
    std::string error;
    EXPECT_TRUE(transport->Write(big.data(), big.size(), error)) << error;
    device.join();
    EXPECT_EQ(received, big);
}

TEST_F(SerialTransportTest, ReadWaitsOnlyAsLongAsItMust) {
    Bytes buffer(64);
    std::string error;
    auto start = Clock::now();
    EXPECT_EQ(transport->Read(buffer.data(), buffer.size(), 0, error), 0);
    EXPECT_LT(Clock::now() - start, 100ms) << "a zero time-out waited";

    start = Clock::now();
    EXPECT_EQ(transport->Read(buffer.data(), buffer.size(), 150, error), 0);
    EXPECT_GE(Clock::now() - start, 140ms) << "returned before the time-out";

    std::thread device([&] {
        std::this_thread::sleep_for(50ms);
        WriteAll(pty.master(), {'k'});
    });
    start = Clock::now();
    EXPECT_EQ(transport->Read(buffer.data(), buffer.size(), 20000, error), 1) << error;
    EXPECT_LT(Clock::now() - start, 5s) << "did not return when the byte came";
    device.join();
    EXPECT_TRUE(error.empty());
}

TEST_F(SerialTransportTest, SecondOpenReopensAndPurgesPendingInput) {
    ASSERT_TRUE(WriteAll(pty.master(), Bytes(20, 'z')));
    std::this_thread::sleep_for(50ms);
    std::string error;
    ASSERT_TRUE(transport->Open(error)) << error;
    Bytes buffer(64);
    EXPECT_EQ(transport->Read(buffer.data(), buffer.size(), 100, error), 0);
    ASSERT_TRUE(WriteAll(pty.master(), {'y'}));
    EXPECT_EQ(ReadFromTransport(1), Bytes{'y'});
}

TEST_F(SerialTransportTest, SecondTransportOnTheSamePortIsRefused) {
    auto second = CreateSerialTransport(pty.slavePath16());
    std::string error;
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
}

TEST_F(SerialTransportTest, ClosedTransportRefusesReadAndWrite) {
    transport->Close();
    transport->Close();
    Bytes buffer(4);
    std::string error;
    EXPECT_EQ(transport->Read(buffer.data(), buffer.size(), 0, error), -1);
    EXPECT_EQ(error, "COM port is not connected");
    error.clear();
    EXPECT_FALSE(transport->Write(buffer.data(), 0, error));
    EXPECT_EQ(error, "COM port is not connected");
}

TEST(SerialTransportRateTest, ZeroKeepsThePortsRateAndAStandardRateIsSet) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    termios settings{};
    tcgetattr(pty.slave(), &settings);
    cfsetspeed(&settings, B4800);
    ASSERT_EQ(tcsetattr(pty.slave(), TCSANOW, &settings), 0);
    std::string error;
    {
        auto keep = CreateSerialTransport(pty.slavePath16());
        ASSERT_TRUE(keep->Open(error)) << error;
        tcgetattr(pty.slave(), &settings);
        EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B4800));
    }
    auto fast = CreateSerialTransport(pty.slavePath16(), 115200);
    ASSERT_TRUE(fast->Open(error)) << error;
    tcgetattr(pty.slave(), &settings);
    EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B115200));
    EXPECT_EQ(cfgetispeed(&settings), static_cast<speed_t>(B115200));
}

TEST(SerialTransportOpenTest, FailuresNameThePortAndTheStep) {
    PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    struct Case {
        std::u16string port;
        std::uint32_t rate;
        std::string message;
    };
    const std::vector<Case> cases = {
        {u"/dev/corvina-no-such-port", 0,
         "Cannot open /dev/corvina-no-such-port: No such file or directory"},
        {u"/dev/null", 0, "Cannot read /dev/null settings: Inappropriate ioctl for device"},
        {pty.slavePath16(), 12345,
         "Cannot configure " + pty.slavePath() + " for 12345 baud: Invalid argument"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        auto transport = CreateSerialTransport(c.port, c.rate);
        std::string error;
        EXPECT_FALSE(transport->Open(error));
        EXPECT_EQ(error, c.message);
        error.clear();
        std::uint8_t byte = 0;
        EXPECT_EQ(transport->Read(&byte, 1, 0, error), -1) << "left open after a failed Open";
    }
}

// Runs Open as an unprivileged user in a child process and returns its error.
std::string OpenErrorAsNobody(const std::string& path) {
    int channel[2];
    if (pipe(channel) != 0) {
        return "pipe failed";
    }
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        std::string error = "still privileged";
        if (setgid(65534) == 0 && setuid(65534) == 0) {
            auto transport = CreateSerialTransport(std::u16string(path.begin(), path.end()));
            error = transport->Open(error) ? "opened" : error;
        }
        const ssize_t written = write(channel[1], error.data(), error.size());
        _exit(written == static_cast<ssize_t>(error.size()) ? 0 : 1);
    }
    close(channel[1]);
    std::string error;
    char chunk[256];
    for (ssize_t n; (n = read(channel[0], chunk, sizeof chunk)) > 0;) {
        error.append(chunk, static_cast<std::size_t>(n));
    }
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return error;
}

TEST(SerialTransportOpenTest, RefusedAccessNamesTheGroupThatOwnsTheDevice) {
    testing::TemporaryFolder folder;
    const std::filesystem::path device = folder.WriteFile("ttyRESTRICTED", "");
    std::filesystem::permissions(folder.path(), std::filesystem::perms::owner_all |
                                                    std::filesystem::perms::group_exec |
                                                    std::filesystem::perms::others_exec);
    std::filesystem::permissions(
        device, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                    std::filesystem::perms::group_read | std::filesystem::perms::group_write);
    ASSERT_EQ(chown(device.c_str(), 0, 0), 0);
    EXPECT_EQ(OpenErrorAsNobody(device.string()),
              "Cannot open " + device.string() +
                  ": Permission denied (the device belongs to group root; run \"sudo usermod "
                  "-aG root $USER\", then log in again)");
}

// Reading the process table and the adapter settings from fake /proc and /sys
// trees keeps these independent of what runs and what is plugged in here.
TEST(SerialDiagnosticsTest, HolderAndLatencyAreReadFromTheSystemTrees) {
    testing::TemporaryFolder root;
    namespace fs = std::filesystem;
    const fs::path device = root.path() / "ttyUSB0";
    root.WriteFile("ttyUSB0", "");
    fs::create_symlink(device, root.path() / "usb-FTDI_FT232R_A1B2-if00-port0");
    const std::string byId = (root.path() / "usb-FTDI_FT232R_A1B2-if00-port0").string();
    const fs::path proc = root.path() / "proc";
    fs::create_directories(proc / "4711" / "fd");
    fs::create_directories(proc / "self" / "fd");
    fs::create_directories(proc / "815" / "fd");
    std::ofstream(proc / "4711" / "comm") << "minicom\n";
    fs::create_symlink("/dev/null", proc / "815" / "fd" / "0");
    fs::create_symlink(device, proc / "4711" / "fd" / "3");
    const fs::path timer = root.path() / "sys/class/tty/ttyUSB0/device/latency_timer";
    fs::create_directories(timer.parent_path());

    EXPECT_EQ(SerialPortHolder(byId, proc), "minicom (pid 4711)");
    EXPECT_EQ(SerialPortHolder("/dev/null", root.path() / "nothing"), "");
    struct Case {
        const char* timer;
        bool hint;
    };
    for (const Case& c : {Case{"16\n", true}, Case{"2\n", false}, Case{"1", false}, Case{"", false},
                          Case{"x9", false}}) {
        SCOPED_TRACE(c.timer);
        std::ofstream(timer) << c.timer;
        const std::string hint = SerialLatencyHint(byId, root.path() / "sys");
        EXPECT_EQ(!hint.empty(), c.hint);
        if (c.hint) {
            EXPECT_THAT(hint, StartsWith(byId + ": "));
            EXPECT_THAT(hint, HasSubstr("16 ms"));
            EXPECT_THAT(hint, HasSubstr("ATTR{latency_timer}=\"1\""));
        }
    }
}

}  // namespace
}  // namespace corvina
