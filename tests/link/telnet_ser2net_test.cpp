// The Telnet transport against ser2net, a Telnet server nobody here wrote,
// serving a pseudo-terminal whose master the test plays.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <atomic>
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
using testing::ScopedFd;

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

// Relays the first connection to port() on to 127.0.0.1:`target`, counting
// the bytes that pass each way.
class TcpRelay {
  public:
    explicit TcpRelay(std::uint16_t target) : target_(target), thread_([this] { Run(); }) {}
    ~TcpRelay() {
        stop_ = true;
        thread_.join();
    }
    TcpRelay(const TcpRelay&) = delete;
    TcpRelay& operator=(const TcpRelay&) = delete;

    std::uint16_t port() const { return listener_.port(); }
    std::uint64_t toServer() const { return counts_[0]; }
    std::uint64_t toClient() const { return counts_[1]; }

  private:
    void Run() {
        ScopedFd client;
        while (!stop_ && !client.valid()) {
            client.Reset(listener_.Accept(50ms));
        }
        const ScopedFd server(socket(AF_INET, SOCK_STREAM, 0));
        const sockaddr_in address = testing::Loopback(target_);
        if (!client.valid() || connect(server.get(), reinterpret_cast<const sockaddr*>(&address),
                                       sizeof address) != 0) {
            return;
        }
        const int ends[2] = {client.get(), server.get()};
        while (!stop_) {
            pollfd entries[2] = {{ends[0], POLLIN, 0}, {ends[1], POLLIN, 0}};
            if (poll(entries, 2, 50) <= 0) {
                continue;
            }
            for (int i = 0; i < 2; ++i) {
                if (entries[i].revents != 0 && !Pass(ends[i], ends[1 - i], counts_[i])) {
                    return;
                }
            }
        }
    }

    // Moves what `from` has to `to`; false when either end failed.
    static bool Pass(int from, int to, std::atomic<std::uint64_t>& count) {
        std::uint8_t chunk[8192];
        const ssize_t n = read(from, chunk, sizeof chunk);
        // Counted before passing on, so a reader who has the bytes also sees
        // them counted.
        count += static_cast<std::uint64_t>(std::max<ssize_t>(n, 0));
        return n > 0 && send(to, chunk, static_cast<std::size_t>(n), MSG_NOSIGNAL) == n;
    }

    testing::TcpTestServer listener_;
    std::uint16_t target_;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> counts_[2]{};
    std::thread thread_;
};

TEST(TelnetSer2netTest, BinaryStreamsPassBothWaysAndNegotiationSettles) {
    testing::PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
    const std::uint16_t ser2netPort = testing::TcpTestServer().port();
    Ser2netProcess ser2net(pty.slavePath(), ser2netPort);
    // The relay accepts at once, so ser2net must be listening before it is used.
    const auto deadline = testing::Clock::now() + 5s;
    for (auto probe = CreateTelnetTransport("127.0.0.1", ser2netPort);;) {
        std::string error;
        if (probe->Open(error)) {
            break;
        }
        ASSERT_TRUE(ser2net.running() && testing::Clock::now() < deadline)
            << error << "\nser2net log:\n"
            << ser2net.Log();
        std::this_thread::sleep_for(20ms);
    }
    TcpRelay relay(ser2netPort);
    auto transport = CreateTelnetTransport("127.0.0.1", relay.port());
    std::string error;
    ASSERT_TRUE(transport->Open(error)) << error;

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

    // Answered options must not provoke new requests: once settled, the line
    // stays silent however often we read.
    const std::uint64_t toServer = relay.toServer();
    const std::uint64_t toClient = relay.toClient();
    EXPECT_TRUE(testing::ReadFromTransport(*transport, 1, 500ms).empty());
    EXPECT_EQ(relay.toServer(), toServer);
    EXPECT_EQ(relay.toClient(), toClient);
    // Our side sent the payload, each 255 doubled, plus a handful of answers.
    const auto doubled = static_cast<std::uint64_t>(
        2 * (data.size() + static_cast<std::size_t>(std::count(data.begin(), data.end(), 255))));
    EXPECT_GE(toServer, doubled);
    EXPECT_LT(toServer, doubled + 64u);
}

}  // namespace
}  // namespace corvina
