#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "fd_io.h"
#include "link/telnet_transport.h"
#include "pseudo_terminal.h"
#include "ser2net_process.h"
#include "tcp_relay.h"
#include "tcp_test_server.h"

namespace corvina {
namespace {

using namespace std::chrono_literals;
using testing::AllByteValues;
using testing::Clock;
using testing::ReadBytes;
using testing::WriteAll;
using Bytes = std::vector<std::uint8_t>;

std::uint16_t FreeLoopbackPort() {
    testing::TcpTestServer probe;
    return probe.port();
}

// ser2net serving the slave of a pseudo-terminal whose master the test plays.
class TelnetSer2netTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        ser2net = std::make_unique<testing::Ser2netProcess>(pty.slavePath(), ser2netPort);
        ASSERT_TRUE(ser2net->started());
    }

    // Connects to `port`, retrying while ser2net is still starting up.
    std::unique_ptr<ITransport> Connect(std::uint16_t port) {
        auto transport = CreateTelnetTransport("127.0.0.1", port);
        const auto deadline = Clock::now() + 5s;
        std::string error;
        while (!transport->Open(error)) {
            if (Clock::now() > deadline || !ser2net->running()) {
                ADD_FAILURE() << error << "\nser2net log:\n" << ser2net->Log();
                return nullptr;
            }
            std::this_thread::sleep_for(20ms);
        }
        return transport;
    }

    // Reads until `count` payload bytes came or a read failed. The Telnet
    // answers go out from inside these reads.
    static Bytes ReadPayload(ITransport& transport, std::size_t count,
                             std::chrono::milliseconds limit = 5000ms) {
        Bytes got;
        const auto deadline = Clock::now() + limit;
        while (got.size() < count && Clock::now() < deadline) {
            Bytes buffer(1024);
            std::string error;
            const std::int32_t n = transport.Read(buffer.data(), buffer.size(), 50, error);
            if (n < 0) {
                ADD_FAILURE() << error;
                break;
            }
            got.insert(got.end(), buffer.begin(), buffer.begin() + n);
        }
        return got;
    }

    testing::PseudoTerminal pty;
    std::uint16_t ser2netPort = FreeLoopbackPort();
    std::unique_ptr<testing::Ser2netProcess> ser2net;
};

TEST_F(TelnetSer2netTest, EveryByteValuePassesBothWaysAndNegotiationSettles) {
    // The relay accepts at once, so ser2net must be listening before it is used.
    Connect(ser2netPort).reset();
    testing::TcpRelay relay(ser2netPort);
    std::unique_ptr<ITransport> transport = Connect(relay.port());
    ASSERT_TRUE(transport);
    const Bytes all = AllByteValues();

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        std::string error;
        ASSERT_TRUE(transport->Write(all.data(), all.size(), error)) << error;
        EXPECT_EQ(ReadBytes(pty.master(), all.size(), 5000ms), all);
        ASSERT_TRUE(WriteAll(pty.master(), all));
        EXPECT_EQ(ReadPayload(*transport, all.size()), all);
    }

    // Answered options must not provoke new requests: once settled, the line
    // stays silent however often we read.
    const std::uint64_t toServer = relay.toServer();
    const std::uint64_t toClient = relay.toClient();
    EXPECT_TRUE(ReadPayload(*transport, 1, 500ms).empty());
    EXPECT_EQ(relay.toServer(), toServer);
    EXPECT_EQ(relay.toClient(), toClient);
    // Our side sent the payload (with 255 doubled) plus a handful of answers.
    EXPECT_GE(toServer, 2u * 257u);
    EXPECT_LT(toServer, 2u * 257u + 64u);
}

TEST_F(TelnetSer2netTest, LargeBinaryStreamsArriveUnchangedBothWays) {
    std::unique_ptr<ITransport> transport = Connect(ser2netPort);
    ASSERT_TRUE(transport);
    Bytes data(64 * 1024);
    std::mt19937 random(7);
    for (auto& byte : data) {
        byte = static_cast<std::uint8_t>(random() % 3 == 0 ? 255 : random());
    }

    Bytes atDevice;
    std::thread device([&] { atDevice = ReadBytes(pty.master(), data.size(), 10000ms); });
    std::string error;
    EXPECT_TRUE(transport->Write(data.data(), data.size(), error)) << error;
    device.join();
    EXPECT_EQ(atDevice, data);

    std::thread sender([&] { WriteAll(pty.master(), data); });
    const Bytes atHost = ReadPayload(*transport, data.size(), 10000ms);
    sender.join();
    EXPECT_EQ(atHost, data);
}

}  // namespace
}  // namespace corvina
