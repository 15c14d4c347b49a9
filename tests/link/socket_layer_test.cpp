#include "link/socket_layer.h"

#include <gtest/gtest.h>

#include "tcp_test_server.h"

namespace corvina {
namespace {

using testing::Bytes;
using testing::ScopedFd;

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
