#include "link/telnet_transport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "fd_io.h"
#include "link/system_error.h"
#include "tcp_test_server.h"

namespace corvina {
namespace {

using namespace std::chrono_literals;
using testing::ReadBytes;
using testing::ReadUntil;
using testing::ScopedFd;
using ::testing::StartsWith;
using testing::TcpTestServer;
using testing::WriteAll;
using Bytes = std::vector<std::uint8_t>;

// A transport connected to a test server whose accepted side the test plays.
class TelnetTransportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        transport = CreateTelnetTransport("127.0.0.1", server.port());
        std::string error;
        ASSERT_TRUE(transport->Open(error)) << error;
        peer.Reset(server.Accept());
        ASSERT_TRUE(peer.valid());
    }

    // Reads from the transport until `count` payload bytes arrived or a read failed.
    Bytes ReadPayload(std::size_t count) {
        Bytes got;
        const auto deadline = testing::Clock::now() + 5s;
        while (got.size() < count && testing::Clock::now() < deadline) {
            std::vector<std::uint8_t> buffer(4096);
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

    // Everything the transport sent before the marker byte it writes now.
    Bytes SentBeforeMarker() {
        const std::uint8_t marker = '.';
        std::string error;
        EXPECT_TRUE(transport->Write(&marker, 1, error)) << error;
        Bytes got = ReadUntil(peer.get(), marker, 2000ms);
        EXPECT_FALSE(got.empty());
        if (!got.empty()) {
            got.pop_back();
        }
        return got;
    }

    TcpTestServer server;
    std::unique_ptr<ITransport> transport;
    ScopedFd peer;
};

TEST_F(TelnetTransportTest, IacSplitAcrossTwoReceivesIsOneCommand) {
    ASSERT_TRUE(WriteAll(peer.get(), {'a', 255}));
    EXPECT_EQ(ReadPayload(1), Bytes{'a'});
    ASSERT_TRUE(WriteAll(peer.get(), {253, 3, 'b', 255}));
    EXPECT_EQ(ReadPayload(1), Bytes{'b'});
    ASSERT_TRUE(WriteAll(peer.get(), {255, 'c'}));
    EXPECT_EQ(ReadPayload(2), (Bytes{255, 'c'}));
    EXPECT_EQ(SentBeforeMarker(), (Bytes{255, 251, 3}));
}

TEST_F(TelnetTransportTest, ReceiveOfOnlyCommandsReturnsZeroWithoutWaitingForMore) {
    ASSERT_TRUE(WriteAll(peer.get(), {255, 241, 255, 252, 1}));
    Bytes buffer(64);
    std::string error;
    const auto start = testing::Clock::now();
    EXPECT_EQ(transport->Read(buffer.data(), buffer.size(), 10000, error), 0);
    EXPECT_LT(testing::Clock::now() - start, 5s);
    EXPECT_TRUE(error.empty());
}

TEST_F(TelnetTransportTest, QueuedBytesAreServedBeforeTheSocketIsTouched) {
    Bytes hundred(100);
    for (std::size_t i = 0; i < hundred.size(); ++i) {
        hundred[i] = static_cast<std::uint8_t>(i);
    }
    ASSERT_TRUE(WriteAll(peer.get(), hundred));
    Bytes first(10);
    std::string error;
    ASSERT_EQ(transport->Read(first.data(), first.size(), 2000, error), 10) << error;
    // Were the socket read again, its end of stream would fail a read early.
    net::ShutdownAndClose(peer.release());
    Bytes got = first;
    for (int call = 1; call < 10; ++call) {
        SCOPED_TRACE(call);
        Bytes buffer(10);
        ASSERT_EQ(transport->Read(buffer.data(), buffer.size(), 0, error), 10) << error;
        got.insert(got.end(), buffer.begin(), buffer.end());
    }
    EXPECT_EQ(got, hundred);
    Bytes buffer(10);
    EXPECT_EQ(transport->Read(buffer.data(), buffer.size(), 2000, error), -1);
    EXPECT_EQ(error, "The modem closed the Telnet connection");
}

TEST_F(TelnetTransportTest, PeerClosingMidWriteFailsTheWriteWithoutKillingTheProcess) {
    // Unread data at close makes the peer reset the connection.
    const Bytes poke = {'p'};
    std::string error;
    ASSERT_TRUE(transport->Write(poke.data(), poke.size(), error));
    ASSERT_EQ(ReadBytes(peer.get(), 1, 2000ms).size(), 1u);
    linger abort{1, 0};
    setsockopt(peer.get(), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort),
               sizeof abort);
    peer.Reset();
    const Bytes big(16u << 20, 0x55);
    EXPECT_FALSE(transport->Write(big.data(), big.size(), error));
    EXPECT_THAT(error, StartsWith("Telnet send failed: "));
    error.clear();
    EXPECT_FALSE(transport->Write(big.data(), 1, error));
    EXPECT_EQ(error, "Telnet link is not connected");
}

TEST_F(TelnetTransportTest, PayloadOfTheReceiveIsDeliveredWholeWhenAnAnswerCannotBeSent) {
    const Bytes wire = {'h', 'e', 255, 253, 3, 'l', 'l', 'o'};
    ASSERT_TRUE(WriteAll(peer.get(), wire));
    linger abort{1, 0};
    setsockopt(peer.get(), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort),
               sizeof abort);
    std::this_thread::sleep_for(100ms);  // let the data land before the reset
    peer.Reset();
    std::this_thread::sleep_for(100ms);
    Bytes buffer(3);  // smaller than the receive: the rest waits in the queue
    std::string error;
    ASSERT_EQ(transport->Read(buffer.data(), buffer.size(), 2000, error), 3) << error;
    EXPECT_EQ(buffer, (Bytes{'h', 'e', 'l'}));
    ASSERT_EQ(transport->Read(buffer.data(), buffer.size(), 0, error), 2) << error;
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 2), (Bytes{'l', 'o'}));
    EXPECT_EQ(transport->Read(buffer.data(), buffer.size(), 0, error), -1);
    EXPECT_EQ(error, "Telnet link is not connected");
}

TEST_F(TelnetTransportTest, OpenOnAnOpenLinkReconnectsAndDropsQueuedBytes) {
    ASSERT_TRUE(WriteAll(peer.get(), Bytes(50, 'q')));
    Bytes buffer(10);
    std::string error;
    ASSERT_EQ(transport->Read(buffer.data(), buffer.size(), 2000, error), 10);
    ASSERT_TRUE(transport->Open(error)) << error;
    ScopedFd second(server.Accept());
    ASSERT_TRUE(second.valid());
    EXPECT_EQ(ReadBytes(peer.get(), 1, 2000ms).size(), 0u) << "old connection not closed";
    EXPECT_EQ(transport->Read(buffer.data(), buffer.size(), 0, error), 0);
    ASSERT_TRUE(WriteAll(second.get(), {'n'}));
    EXPECT_EQ(ReadPayload(1), Bytes{'n'});
}

TEST(TelnetTransportConnectTest, FailedConnectNamesTheCause) {
    std::uint16_t closedPort = 0;
    {
        TcpTestServer closed;
        closedPort = closed.port();
    }
    const std::string refused = "127.0.0.1:" + std::to_string(closedPort);
    const struct {
        std::string host;
        std::uint16_t port;
        std::string error;  // the whole text, or its start when it ends in ": "
    } cases[] = {
        // Winsock tells of the refusal apart from writability; missing it
        // would wait out the limit and report a time-out instead.
        {"127.0.0.1", closedPort,
         "Cannot connect to " + refused + ": " + SystemErrorText(net::kConnectionRefused)},
        // Not the empty name: Windows resolves that to the local machine.
        {"no-such-host.invalid", 3000, "Cannot resolve modem address: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        auto transport = CreateTelnetTransport(c.host, c.port);
        std::string error;
        EXPECT_FALSE(transport->Open(error));
        if (c.error.ends_with(": ")) {
            EXPECT_THAT(error, StartsWith(c.error));
            EXPECT_GT(error.size(), c.error.size());
        } else {
            EXPECT_EQ(error, c.error);
        }
    }
}

TEST(TelnetTransportConnectTest, UnansweredConnectGivesUpAfterTheLimitOrWhenInterrupted) {
    enum class Interrupt { Never, Before, During };
    struct Case {
        Interrupt interrupt;
        std::chrono::milliseconds limit;
        std::uint32_t expected;
    };
    // The interrupted connects have a limit far beyond the test's time-out.
    const Case cases[] = {{Interrupt::Never, 300ms, net::kTimedOut},
                          {Interrupt::Before, 600s, net::kCancelled},
                          {Interrupt::During, 600s, net::kCancelled}};
    testing::UnansweredTcpServer server;
    for (const Case& c : cases) {
        auto transport = CreateTelnetTransport("127.0.0.1", server.port(), c.limit);
        if (c.interrupt == Interrupt::Before) {
            transport->Interrupt();
        }
        std::thread interrupter;
        if (c.interrupt == Interrupt::During) {
            interrupter = std::thread([&] {
                std::this_thread::sleep_for(200ms);
                transport->Interrupt();
            });
        }
        std::string error;
        EXPECT_FALSE(transport->Open(error));
        if (interrupter.joinable()) {
            interrupter.join();
        }
        EXPECT_EQ(error, "Cannot connect to 127.0.0.1:" + std::to_string(server.port()) + ": " +
                             SystemErrorText(c.expected));
    }
}

}  // namespace
}  // namespace corvina
