#include <gmock/gmock.h>

#include <deque>

#include "link/system_error.h"
#include "link/telnet_receiver.h"
#include "link/telnet_transport.h"
#include "tcp_test_server.h"

namespace corvina {
namespace {

using namespace std::chrono_literals;
using testing::Bytes;
using testing::ReadBytes;
using testing::ScopedFd;
using ::testing::StartsWith;
using testing::TcpTestServer;
using testing::WriteAll;

struct Decoded {
    Bytes payload;
    Bytes replies;
};

// Runs `wire` through `receiver` and collects what it yields.
Decoded Decode(TelnetReceiver& receiver, const Bytes& wire) {
    std::deque<std::uint8_t> queue;
    Decoded out;
    TelnetReply reply{};
    for (std::uint8_t byte : wire) {
        if (receiver.Feed(byte, queue, reply)) {
            out.replies.insert(out.replies.end(), reply.begin(), reply.end());
        }
    }
    out.payload.assign(queue.begin(), queue.end());
    return out;
}

TEST(TelnetReceiverTest, StripsCommandsAndAnswersOptionRequests) {
    struct Case {
        const char* name;
        Bytes wire;
        Bytes payload;
        Bytes replies;
    };
    const std::vector<Case> cases = {
        {"doubled IAC is one payload byte", {1, 255, 255, 2}, {1, 255, 2}, {}},
        {"WILL 3, DO 0, WILL 44 and DO 44 accepted",
         {255, 251, 3, 255, 253, 0, 255, 251, 44, 255, 253, 44},
         {},
         {255, 253, 3, 255, 251, 0, 255, 253, 44, 255, 251, 44}},
        {"WILL 1 and DO 24 refused", {255, 251, 1, 255, 253, 24}, {}, {255, 254, 1, 255, 252, 24}},
        {"repeated offers answered once",
         {255, 251, 3, 255, 251, 3, 255, 253, 0, 255, 253, 0},
         {},
         {255, 253, 3, 255, 251, 0}},
        {"repeated refusals",
         {255, 251, 1, 255, 253, 1, 255, 251, 1},
         {},
         {255, 254, 1, 255, 252, 1, 255, 254, 1}},
        {"WONT and DONT go unanswered and reopen the answer",
         {255, 251, 3, 255, 252, 3, 255, 251, 3, 255, 253, 3, 255, 254, 3, 255, 253, 3},
         {},
         {255, 253, 3, 255, 253, 3, 255, 251, 3, 255, 251, 3}},
        {"NOP and GA dropped", {'a', 255, 241, 'b', 255, 249, 'c'}, {'a', 'b', 'c'}, {}},
        {"subnegotiation removed", {'A', 255, 250, 44, 1, 2, 255, 240, 'B'}, {'A', 'B'}, {}},
        {"IAC IAC inside subnegotiation does not end it",
         {255, 250, 44, 255, 255, 240, 9, 255, 240, 'Z'},
         {'Z'},
         {}},
        {"option byte 255 after WILL is an option, not data",
         {255, 251, 255, 'x'},
         {'x'},
         {255, 254, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TelnetReceiver receiver;
        const Decoded out = Decode(receiver, c.wire);
        EXPECT_EQ(out.payload, c.payload);
        EXPECT_EQ(out.replies, c.replies);
        EXPECT_EQ(receiver.State(), TelnetData);
    }
}

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

    Bytes Read(std::size_t count) { return testing::ReadFromTransport(*transport, count); }

    // Makes the peer's close a reset, as a modem's crash or a cut cable would.
    void ResetPeer() {
        linger abort{1, 0};
        setsockopt(peer.get(), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort),
                   sizeof abort);
        peer.Reset();
    }

    TcpTestServer server;
    std::unique_ptr<ITransport> transport;
    ScopedFd peer;
};

TEST_F(TelnetTransportTest, CommandsSplitAcrossReceivesAreAnsweredAndNeverDelivered) {
    ASSERT_TRUE(WriteAll(peer.get(), {'a', 255}));
    EXPECT_EQ(Read(1), Bytes{'a'});
    ASSERT_TRUE(WriteAll(peer.get(), {253, 3, 'b', 255}));
    EXPECT_EQ(Read(1), Bytes{'b'});
    ASSERT_TRUE(WriteAll(peer.get(), {255, 'c'}));
    EXPECT_EQ(Read(2), (Bytes{255, 'c'}));
    // The answer to DO 3 went out before anything written later.
    std::string error;
    ASSERT_TRUE(transport->Write(Bytes{'.'}.data(), 1, error)) << error;
    EXPECT_EQ(ReadBytes(peer.get(), 4, 2000ms), (Bytes{255, 251, 3, '.'}));

    // A receive of commands only returns at once with nothing.
    ASSERT_TRUE(WriteAll(peer.get(), {255, 241, 255, 252, 1}));
    Bytes buffer(64);
    const auto start = testing::Clock::now();
    EXPECT_EQ(transport->Read(buffer.data(), buffer.size(), 10000, error), 0);
    EXPECT_LT(testing::Clock::now() - start, 5s);
    EXPECT_TRUE(error.empty());
}

TEST_F(TelnetTransportTest, PeerResetMidWriteFailsTheWriteWithoutKillingTheProcess) {
    std::string error;
    ASSERT_TRUE(transport->Write(Bytes{'p'}.data(), 1, error));
    ASSERT_EQ(ReadBytes(peer.get(), 1, 2000ms).size(), 1u);
    ResetPeer();
    const Bytes big(16u << 20, 0x55);
    EXPECT_FALSE(transport->Write(big.data(), big.size(), error));
    EXPECT_THAT(error, StartsWith("Telnet send failed: "));
    error.clear();
    EXPECT_FALSE(transport->Write(big.data(), 1, error));
    EXPECT_EQ(error, "Telnet link is not connected");
}

TEST_F(TelnetTransportTest, PayloadOfTheReceiveIsDeliveredWholeWhenAnAnswerCannotBeSent) {
    ASSERT_TRUE(WriteAll(peer.get(), {'h', 'e', 255, 253, 3, 'l', 'l', 'o'}));
    std::this_thread::sleep_for(100ms);  // let the data land before the reset
    ResetPeer();
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

TEST_F(TelnetTransportTest, OpenOnAnOpenLinkReconnectsDropsQueuedBytesAndAgreesAfresh) {
    // An agreed option, data, and a subnegotiation the old link never ends.
    Bytes wire(56, 'q');
    std::copy_n(Bytes{255, 251, 3}.begin(), 3, wire.begin());
    std::copy_n(Bytes{255, 250, 1}.begin(), 3, wire.end() - 3);
    ASSERT_TRUE(WriteAll(peer.get(), wire));
    Bytes buffer(10);
    std::string error;
    ASSERT_EQ(transport->Read(buffer.data(), buffer.size(), 2000, error), 10);
    EXPECT_EQ(transport->Read(buffer.data(), buffer.size(), 0, error), 10) << "queue served first";
    EXPECT_EQ(ReadBytes(peer.get(), 3, 2000ms), (Bytes{255, 253, 3}));
    ASSERT_TRUE(transport->Open(error)) << error;
    ScopedFd second(server.Accept());
    ASSERT_TRUE(second.valid());
    EXPECT_EQ(ReadBytes(peer.get(), 1, 2000ms).size(), 0u) << "old connection not closed";
    EXPECT_EQ(transport->Read(buffer.data(), buffer.size(), 0, error), 0);
    ASSERT_TRUE(WriteAll(second.get(), {255, 251, 3, 'n'}));
    EXPECT_EQ(Read(1), Bytes{'n'});
    EXPECT_EQ(ReadBytes(second.get(), 3, 2000ms), (Bytes{255, 253, 3})) << "agreed afresh";
}

TEST(TelnetTransportConnectTest, FailedConnectNamesTheCause) {
    enum class Interrupt { Never, Before, During };
    std::uint16_t closedPort = 0;
    {
        TcpTestServer closed;
        closedPort = closed.port();
    }
    testing::UnansweredTcpServer unanswered;
    const std::string silent = "127.0.0.1:" + std::to_string(unanswered.port()) + ": ";
    const struct {
        std::string host;
        std::uint16_t port;
        std::chrono::milliseconds limit;
        Interrupt interrupt;
        std::string error;  // the whole text, or its start when it ends in ": "
    } cases[] = {
        // Winsock tells of the refusal apart from writability; missing it
        // would wait out the limit and report a time-out instead.
        {"127.0.0.1", closedPort, 600s, Interrupt::Never,
         "Cannot connect to 127.0.0.1:" + std::to_string(closedPort) + ": " +
             SystemErrorText(net::kConnectionRefused)},
        // Not the empty name: Windows resolves that to the local machine.
        {"no-such-host.invalid", 3000, 600s, Interrupt::Never, "Cannot resolve modem address: "},
        {"127.0.0.1", unanswered.port(), 300ms, Interrupt::Never,
         "Cannot connect to " + silent + SystemErrorText(net::kTimedOut)},
        // The interrupted connects have a limit far beyond the test's time-out.
        {"127.0.0.1", unanswered.port(), 600s, Interrupt::Before,
         "Cannot connect to " + silent + SystemErrorText(net::kCancelled)},
        {"127.0.0.1", unanswered.port(), 600s, Interrupt::During,
         "Cannot connect to " + silent + SystemErrorText(net::kCancelled)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        auto transport = CreateTelnetTransport(c.host, c.port, c.limit);
        if (c.interrupt == Interrupt::Before) {
            transport->Interrupt();
        }
        std::thread interrupter([&] {
            if (c.interrupt == Interrupt::During) {
                std::this_thread::sleep_for(200ms);
                transport->Interrupt();
            }
        });
        std::string error;
        EXPECT_FALSE(transport->Open(error));
        interrupter.join();
        EXPECT_EQ(error.find_first_of("\r\n"), std::string::npos) << error;
        if (c.error.ends_with(": ")) {
            EXPECT_THAT(error, StartsWith(c.error));
            EXPECT_GT(error.size(), c.error.size());
        } else {
            EXPECT_EQ(error, c.error);
        }
    }
}

// Windows fails the receive of a datagram longer than the buffer; discovery
// must still see its start and the next one whole, as on POSIX.
TEST(SocketLayerTest, LongDatagramIsCutToTheBufferAndTheNextArrivesWhole) {
    sockaddr_in addresses[2] = {testing::Loopback(0), testing::Loopback(0)};
    const ScopedFd sockets[2] = {ScopedFd(net::OpenSocket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)),
                                 ScopedFd(net::OpenSocket(AF_INET, SOCK_DGRAM, IPPROTO_UDP))};
    for (int i = 0; i < 2; ++i) {
        auto* address = reinterpret_cast<sockaddr*>(&addresses[i]);
        bind(sockets[i].get(), address, sizeof addresses[i]);
        socklen_t length = sizeof addresses[i];
        getsockname(sockets[i].get(), address, &length);
    }
    const Bytes longOne = testing::Pattern(300);
    const Bytes shortOne(40, 0xEE);
    for (const Bytes* datagram : {&longOne, &shortOne}) {
        ASSERT_EQ(sendto(sockets[1].get(), reinterpret_cast<const char*>(datagram->data()),
                         static_cast<int>(datagram->size()), 0,
                         reinterpret_cast<const sockaddr*>(&addresses[0]), sizeof addresses[0]),
                  static_cast<int>(datagram->size()));
    }
    Bytes buffer(256);
    sockaddr_in from{};
    ASSERT_EQ(net::WaitSocket(sockets[0].get(), false, 2000), 1);
    ASSERT_EQ(net::ReceiveDatagram(sockets[0].get(), buffer.data(), buffer.size(), from), 256);
    EXPECT_EQ(buffer, Bytes(longOne.begin(), longOne.begin() + 256));
    EXPECT_EQ(from.sin_port, addresses[1].sin_port);
    ASSERT_EQ(net::WaitSocket(sockets[0].get(), false, 2000), 1);
    ASSERT_EQ(net::ReceiveDatagram(sockets[0].get(), buffer.data(), buffer.size(), from), 40);
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 40), shortOne);
}

}  // namespace
}  // namespace corvina
