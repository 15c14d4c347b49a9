#include "link/socket_layer.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "tcp_test_server.h"

namespace corvina {
namespace {

using testing::ScopedFd;

// A UDP socket bound to a free loopback port.
net::SocketHandle BoundDatagramSocket(sockaddr_in& address) {
    const net::SocketHandle socket = net::OpenSocket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    return socket;
}

TEST(SocketLayerTest, LongDatagramIsCutToTheBufferAndTheNextArrivesWhole) {
    sockaddr_in receiverAddress{};
    sockaddr_in senderAddress{};
    const ScopedFd receiver(BoundDatagramSocket(receiverAddress));
    const ScopedFd sender(BoundDatagramSocket(senderAddress));
    std::vector<std::uint8_t> longOne(300);
    std::iota(longOne.begin(), longOne.end(), 0);
    const std::vector<std::uint8_t> shortOne(40, 0xEE);
    for (const std::vector<std::uint8_t>* datagram :
         std::initializer_list<const std::vector<std::uint8_t>*>{&longOne, &shortOne}) {
        ASSERT_EQ(
            sendto(sender.get(), reinterpret_cast<const char*>(datagram->data()),
                   static_cast<int>(datagram->size()), 0,
                   reinterpret_cast<const sockaddr*>(&receiverAddress), sizeof receiverAddress),
            static_cast<int>(datagram->size()));
    }

    std::vector<std::uint8_t> buffer(256);
    sockaddr_in from{};
    ASSERT_EQ(net::WaitSocket(receiver.get(), false, 2000), 1);
    ASSERT_EQ(net::ReceiveDatagram(receiver.get(), buffer.data(), buffer.size(), from), 256);
    EXPECT_EQ(buffer, std::vector<std::uint8_t>(longOne.begin(), longOne.begin() + 256));
    EXPECT_EQ(from.sin_port, senderAddress.sin_port);
    ASSERT_EQ(net::WaitSocket(receiver.get(), false, 2000), 1);
    ASSERT_EQ(net::ReceiveDatagram(receiver.get(), buffer.data(), buffer.size(), from), 40);
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + 40), shortOne);
}

}  // namespace
}  // namespace corvina
