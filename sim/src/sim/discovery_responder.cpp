#include "sim/discovery_responder.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>

namespace velksim {
namespace {

constexpr char kMagic[] = {'D', 'S', 'C', 'V'};
constexpr std::size_t kMagicSize = sizeof kMagic;
constexpr std::size_t kReplySize = 32;
constexpr std::size_t kKindOffset = 5;
constexpr std::size_t kSerialOffset = 12;
constexpr std::size_t kPortOffset = 20;
constexpr std::size_t kNameOffset = 23;
constexpr std::size_t kNameSize = 9;
constexpr std::uint8_t kKindModem = 1;
constexpr std::size_t kReadSize = 512;
constexpr int kPollMs = 250;

}  // namespace

std::vector<std::uint8_t> BuildDiscoveryReply(const DiscoveryEntry& entry) {
    std::vector<std::uint8_t> reply(kReplySize, 0);
    std::memcpy(reply.data(), kMagic, kMagicSize);
    reply[kKindOffset] = kKindModem;
    for (std::size_t i = 0; i < 8; ++i) {
        reply[kSerialOffset + i] = static_cast<std::uint8_t>(entry.serial >> (8 * (7 - i)));
    }
    reply[kPortOffset] = static_cast<std::uint8_t>(entry.tcpPort >> 8);
    reply[kPortOffset + 1] = static_cast<std::uint8_t>(entry.tcpPort & 0xFF);
    std::fill(reply.begin() + kNameOffset, reply.end(), ' ');
    std::copy_n(entry.name.begin(), std::min(entry.name.size(), kNameSize),
                reply.begin() + kNameOffset);
    return reply;
}

DiscoveryResponder::DiscoveryResponder(std::string address, std::uint16_t port,
                                       std::vector<DiscoveryEntry> entries)
    : address_(std::move(address)), port_(port), entries_(std::move(entries)) {}

DiscoveryResponder::~DiscoveryResponder() {
    Stop();
}

bool DiscoveryResponder::Start(std::string& error) {
    if (!wake_.Open(error)) {
        return false;
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port_);
    if (::inet_pton(AF_INET, address_.c_str(), &addr.sin_addr) != 1) {
        error = "Invalid discovery address " + address_;
        return false;
    }
    socket_.Reset(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP));
    if (!socket_.valid()) {
        error = ErrnoText("Cannot create discovery socket");
        return false;
    }
    const int one = 1;
    ::setsockopt(socket_.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(socket_.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        error =
            ErrnoText("Cannot bind discovery socket to " + address_ + ":" + std::to_string(port_));
        socket_.Reset();
        return false;
    }
    socklen_t len = sizeof addr;
    ::getsockname(socket_.get(), reinterpret_cast<sockaddr*>(&addr), &len);
    boundPort_ = ntohs(addr.sin_port);
    stop_ = false;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void DiscoveryResponder::Stop() {
    stop_ = true;
    if (thread_.joinable()) {
        wake_.Signal();
        thread_.join();
    }
    socket_.Reset();
}

void DiscoveryResponder::Run() {
    std::uint8_t buffer[kReadSize];
    while (!stop_) {
        pollfd fds[2] = {{socket_.get(), POLLIN, 0}, {wake_.readFd(), POLLIN, 0}};
        if (::poll(fds, 2, kPollMs) <= 0 || fds[1].revents != 0) {
            continue;
        }
        sockaddr_in from{};
        socklen_t fromLen = sizeof from;
        const ssize_t n = ::recvfrom(socket_.get(), buffer, sizeof buffer, 0,
                                     reinterpret_cast<sockaddr*>(&from), &fromLen);
        // Probes are short; a datagram as long as a reply is another modem's
        // answer and must not be answered.
        if (n < static_cast<ssize_t>(kMagicSize) || n >= static_cast<ssize_t>(kReplySize) ||
            std::memcmp(buffer, kMagic, kMagicSize) != 0) {
            continue;
        }
        ++probes_;
        for (const DiscoveryEntry& entry : entries_) {
            const std::vector<std::uint8_t> reply = BuildDiscoveryReply(entry);
            ::sendto(socket_.get(), reply.data(), reply.size(), 0,
                     reinterpret_cast<sockaddr*>(&from), fromLen);
        }
    }
}

}  // namespace velksim
