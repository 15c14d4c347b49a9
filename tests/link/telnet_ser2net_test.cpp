// The Telnet transport against ser2net, a Telnet server nobody here wrote,
// serving a pseudo-terminal whose master the test plays.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "link/telnet_transport.h"
#include "pseudo_terminal.h"
#include "support/temporary_folder.h"

namespace corvina {
namespace {

using namespace std::chrono_literals;
using testing::Bytes;

// ser2net on a loopback port in telnet mode in front of `devicePath`; killed
// with this object, or with the test process (parent-death signal).
class Ser2netProcess {
  public:
    Ser2netProcess(const std::string& devicePath, std::uint16_t port) {
        const std::string config = folder_.WriteFile("ser2net.yaml", "").string();
        std::ofstream(config) << "%YAML 1.1\n---\nconnection: &corvina\n"
                              << "  accepter: telnet,tcp,127.0.0.1," << port << "\n"
                              << "  connector: serialdev," << devicePath << ",115200n81,local\n";
        const std::string log = (folder_.path() / "ser2net.log").string();
        const std::string pidFile = (folder_.path() / "ser2net.pid").string();
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() == parent && std::freopen(log.c_str(), "w", stdout) != nullptr) {
                dup2(STDOUT_FILENO, STDERR_FILENO);
                execlp("ser2net", "ser2net", "-n", "-d", "-u", "-P", pidFile.c_str(), "-c",
                       config.c_str(), static_cast<char*>(nullptr));
            }
            _exit(127);
        }
    }
    ~Ser2netProcess() {
        if (pid_ > 0) {  // kill(-1, ...) would reach every process we may signal
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    Ser2netProcess(const Ser2netProcess&) = delete;
    Ser2netProcess& operator=(const Ser2netProcess&) = delete;

    bool running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }
    std::string Log() const {
        std::ifstream in(folder_.path() / "ser2net.log");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

  private:
    testing::TemporaryFolder folder_;
    pid_t pid_ = -1;
};

TEST(TelnetSer2netTest, BinaryStreamsPassBothWaysWithoutCommandsLeaking) {
    testing::PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    const std::uint16_t ser2netPort = testing::TcpTestServer().port();
    Ser2netProcess ser2net(pty.slavePath(), ser2netPort);
    // ser2net must be listening before the transport under test connects.
    const auto deadline = testing::Clock::now() + 5s;
    std::unique_ptr<ITransport> transport;
    for (std::string error;; std::this_thread::sleep_for(20ms)) {
        transport = CreateTelnetTransport("127.0.0.1", ser2netPort);
        if (transport->Open(error)) {
            break;
        }
        ASSERT_TRUE(ser2net.running() && testing::Clock::now() < deadline)
            << error << "\nser2net log:\n"
            << ser2net.Log();
    }
    std::string error;

    Bytes data(64 * 1024);
    std::mt19937 random(7);
    for (auto& byte : data) {
        byte = static_cast<std::uint8_t>(random() % 3 == 0 ? 255 : random());
    }
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        Bytes atDevice;
        std::thread device([&] { atDevice = testing::ReadBytes(pty.master(), data.size(), 10s); });
        EXPECT_TRUE(transport->Write(data.data(), data.size(), error)) << error;
        device.join();
        EXPECT_EQ(atDevice, data);
        std::thread sender([&] { testing::WriteAll(pty.master(), data); });
        EXPECT_EQ(testing::ReadFromTransport(*transport, data.size(), 10s), data);
        sender.join();
    }

    // No Telnet command leaked into the data either way.
    EXPECT_TRUE(testing::ReadFromTransport(*transport, 1, 300ms).empty());
    EXPECT_TRUE(testing::ReadBytes(pty.master(), 1, 300ms).empty());
}

}  // namespace
}  // namespace corvina
