#include "link/discovery.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <future>

#include "link/broadcast_targets.h"
#include "link/discovery_reply.h"
#include "tcp_test_server.h"

namespace corvina {
namespace {

using namespace std::chrono_literals;
using testing::Bytes;
using testing::Clock;

constexpr std::uint32_t Ip(int a, int b, int c, int d) {
    return static_cast<std::uint32_t>(a) << 24 | static_cast<std::uint32_t>(b) << 16 |
           static_cast<std::uint32_t>(c) << 8 | static_cast<std::uint32_t>(d);
}

// A reply datagram of `size` bytes (cut short when below 32) with `magic`, the
// Telnet `port`, the name bytes `name` (at most 9) and recognisable filler.
Bytes MakeReply(std::uint16_t port, const std::string& name, std::size_t size = 32,
                const char* magic = "DSCV") {
    Bytes reply(std::max<std::size_t>(size, 32), 0);
    std::memcpy(reply.data(), magic, 4);
    reply[5] = 0x5A;
    for (int i = 0; i < 8; ++i) {
        reply[12 + i] = static_cast<std::uint8_t>(0x11 * (i + 1));
    }
    reply[20] = static_cast<std::uint8_t>(port >> 8);
    reply[21] = static_cast<std::uint8_t>(port & 0xFF);
    std::memcpy(reply.data() + 23, name.data(), std::min<std::size_t>(name.size(), 9));
    reply.resize(size);
    return reply;
}

TEST(BroadcastTargetsTest, OneTargetPerBroadcastAddressLoopbackSkipped) {
    const std::uint32_t mask24 = Ip(255, 255, 255, 0);
    const std::vector<InterfaceAddress> interfaces = {{Ip(127, 0, 0, 1), Ip(255, 0, 0, 0)},
                                                      {Ip(192, 168, 1, 5), mask24},
                                                      {Ip(10, 0, 0, 1), Ip(255, 0, 0, 0)},
                                                      {Ip(192, 168, 1, 7), mask24}};
    EXPECT_EQ(BroadcastTargets(interfaces),
              (std::vector<std::uint32_t>{Ip(10, 255, 255, 255), Ip(192, 168, 1, 255)}));
    EXPECT_EQ(BroadcastTargets({interfaces[0]}), std::vector<std::uint32_t>{kLimitedBroadcast});
}

// Runs a shell command; true when it exited with 0.
bool Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// A network namespace with its loopback up, so broadcasts really travel
// between real interfaces. Needs root, as the tests have in CI.
class NetworkNamespace {
  public:
    explicit NetworkNamespace(const std::string& tag)
        : name_("cvl" + std::to_string(getpid()) + tag) {
        Shell("ip netns del " + name_);
        ok_ = Shell("ip netns add " + name_) && Exec("ip link set lo up");
    }
    ~NetworkNamespace() { Shell("ip netns del " + name_); }
    NetworkNamespace(const NetworkNamespace&) = delete;
    NetworkNamespace& operator=(const NetworkNamespace&) = delete;

    bool ok() const { return ok_; }
    bool Exec(const std::string& command) const {
        return Shell("ip netns exec " + name_ + " " + command);
    }

    // Moves the calling thread into the namespace, so every socket it makes
    // lives there.
    bool Enter() const {
        const int fd = open(("/run/netns/" + name_).c_str(), O_RDONLY | O_CLOEXEC);
        const bool entered = fd >= 0 && setns(fd, CLONE_NEWNET) == 0;
        if (fd >= 0) {
            close(fd);
        }
        return entered;
    }

    // Joins this namespace to `other` with a veth pair, addresses in CIDR.
    bool Join(const std::string& tag, const std::string& address, const NetworkNamespace& other,
              const std::string& otherAddress) const {
        const std::string mine = name_ + tag;
        const std::string theirs = other.name_ + tag;
        return Shell("ip link add " + mine + " netns " + name_ + " type veth peer name " + theirs +
                     " netns " + other.name_) &&
               Exec("ip addr add " + address + " dev " + mine) &&
               other.Exec("ip addr add " + otherAddress + " dev " + theirs) &&
               Exec("ip link set " + mine + " up") && other.Exec("ip link set " + theirs + " up");
    }

  private:
    std::string name_;
    bool ok_ = false;
};

// The searcher's namespace and the modem's are joined on 10.201.0.0/24, the
// searcher .1, the modem .2. The modem answers every probe with its reply, a
// repeat of it, a larger one for a second port, foreign datagrams and a flood
// of noise.
TEST(DiscoveryNetworkTest, EachModemIsListedOnceAndForeignDatagramsAreIgnored) {
    const NetworkNamespace searcher("s");
    const NetworkNamespace modem("m");
    ASSERT_TRUE(searcher.ok() && modem.ok()) << "cannot create network namespaces (root?)";
    ASSERT_TRUE(searcher.Join("a", "10.201.0.1/24", modem, "10.201.0.2/24"));
    std::vector<Bytes> answers = {
        MakeReply(3001, "short", 31),
        MakeReply(3002, "foreign", 32, "DSCX"),
        {'D', 'S', 'C', 'V'},
        MakeReply(4000, std::string("\xC3\xA9t\xC3\xA9\0xyz", 9), 600),
        MakeReply(3000, "Shack   "),
        MakeReply(3000, "again"),  // same address and port: dropped
    };
    for (int i = 0; i < 3000; ++i) {
        answers.push_back(
            Bytes(static_cast<std::size_t>(1 + i % 200), static_cast<std::uint8_t>(i)));
    }
    std::promise<bool> listening;
    std::atomic<int> probes{0};
    std::atomic<bool> stop{false};
    std::thread responder([&] {
        const testing::ScopedFd fd(modem.Enter() ? socket(AF_INET, SOCK_DGRAM, 0) : -1);
        sockaddr_in local = testing::Loopback(kDiscoveryPort);
        local.sin_addr.s_addr = htonl(INADDR_ANY);
        const bool bound =
            fd.valid() && bind(fd.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
        listening.set_value(bound);
        for (std::uint8_t probe[64]; bound && !stop;) {
            sockaddr_in from{};
            socklen_t length = sizeof from;
            if (net::WaitSocket(fd.get(), false, 20) > 0 &&
                recvfrom(fd.get(), probe, sizeof probe, 0, reinterpret_cast<sockaddr*>(&from),
                         &length) == 4 &&
                std::memcmp(probe, "DSCV", 4) == 0) {
                ++probes;
                for (const Bytes& answer : answers) {
                    sendto(fd.get(), answer.data(), answer.size(), 0,
                           reinterpret_cast<sockaddr*>(&from), length);
                }
            }
        }
    });
    const bool bound = listening.get_future().get();
    std::vector<DiscoveredModem> found;
    std::string error;
    Clock::duration took{};
    std::thread search([&] {
        const auto start = Clock::now();
        if (bound && searcher.Enter()) {
            found = DiscoverModems(1500, error);
        }
        took = Clock::now() - start;
    });
    search.join();
    stop = true;
    responder.join();
    ASSERT_TRUE(bound);
    EXPECT_TRUE(error.empty()) << error;
    EXPECT_EQ(probes, 2) << "one round at the start, one a second later";
    ASSERT_EQ(found.size(), 2u);
    // The name ends at a NUL or before trailing blanks and is read as UTF-8.
    EXPECT_EQ(DiscoveryLabel(found[0]), u"\u00E9t\u00E9 - 10.201.0.2:4000");
    EXPECT_EQ(DiscoveryLabel(found[1]), u"Shack - 10.201.0.2:3000");
    EXPECT_EQ(found[1].replyByte, 0x5A);
    EXPECT_EQ(found[1].replyValue, 0x1122334455667788u);
    EXPECT_GE(took, 1400ms);
    EXPECT_LT(took, 3s) << "the flood held the search past its deadline";
}

}  // namespace
}  // namespace corvina
