#include "link/discovery.h"

#include <algorithm>
#include <chrono>
#include <set>

#include "link/broadcast_targets.h"
#include "link/discovery_reply.h"
#include "link/socket_layer.h"
#include "link/system_error.h"

namespace corvina {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kProbeInterval{1000};
// Below this a wait is rounded down to the shortest one, so the loop neither
// spins on 0 ms nor oversleeps the deadline.
constexpr std::chrono::milliseconds kShortestUsefulWait{2};
constexpr std::uint32_t kShortWaitMs = 1;

class DiscoverySocket {
  public:
    DiscoverySocket() : handle(net::OpenSocket(AF_INET, SOCK_DGRAM, IPPROTO_UDP)) {}
    ~DiscoverySocket() {
        if (handle != net::kInvalidSocket) {
            net::CloseSocket(handle);
        }
    }
    DiscoverySocket(const DiscoverySocket&) = delete;
    DiscoverySocket& operator=(const DiscoverySocket&) = delete;

    const net::SocketHandle handle;
};

void SendProbes(net::SocketHandle socket, const std::vector<std::uint32_t>& targets) {
    for (const std::uint32_t target : targets) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(kDiscoveryPort);
        to.sin_addr.s_addr = htonl(target);
        sendto(socket, kDiscoveryMagic, sizeof kDiscoveryMagic, 0,
               reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
}

// Takes one datagram off the socket and adds its modem when it is a reply
// from an address:port not seen yet.
void ReceiveReply(net::SocketHandle socket, std::set<std::string>& seen,
                  std::vector<DiscoveredModem>& modems) {
    std::uint8_t datagram[kDiscoveryMaximumReply];
    sockaddr_in from{};
    const long got = net::ReceiveDatagram(socket, datagram, sizeof datagram, from);
    if (got <= 0 || from.sin_family != AF_INET) {
        return;
    }
    char text[INET_ADDRSTRLEN] = {};
    if (inet_ntop(AF_INET, &from.sin_addr, text, sizeof text) == nullptr) {
        return;
    }
    std::optional<DiscoveredModem> modem =
        ParseDiscoveryReply(datagram, static_cast<std::size_t>(got), text);
    if (modem && seen.insert(modem->address + ":" + std::to_string(modem->port)).second) {
        modems.push_back(std::move(*modem));
    }
}

}  // namespace

std::vector<DiscoveredModem> DiscoverModems(std::uint32_t timeoutMs, std::string& error) {
    std::vector<DiscoveredModem> modems;
    DiscoverySocket socket;
    if (socket.handle == net::kInvalidSocket) {
        error = "Cannot create discovery socket";
        return modems;
    }
    const int on = 1;
    setsockopt(socket.handle, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on),
               sizeof on);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = 0;
    if (bind(socket.handle, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        error = "Cannot bind discovery socket";
        return modems;
    }
    // Readiness is waited for separately; a datagram that vanishes between
    // the wait and the receive must not block the search past its deadline.
    net::SetBlocking(socket.handle, false);
    const std::vector<std::uint32_t> targets =
        BroadcastTargets(LocalInterfaceAddresses(socket.handle));

    std::set<std::string> seen;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    auto nextProbe = Clock::now();
    for (auto now = Clock::now(); now < deadline; now = Clock::now()) {
        if (now >= nextProbe) {
            SendProbes(socket.handle, targets);
            nextProbe = now + kProbeInterval;
        }
        const auto left = std::min(nextProbe, deadline) - now;
        const std::uint32_t waitMs =
            left < kShortestUsefulWait
                ? kShortWaitMs
                : static_cast<std::uint32_t>(
                      std::chrono::duration_cast<std::chrono::milliseconds>(left).count());
        const int ready = net::WaitSocket(socket.handle, false, waitMs);
        if (ready < 0) {
            error = "Modem discovery receive failed: " + SystemErrorText(net::LastSocketError());
            break;
        }
        if (ready > 0) {
            ReceiveReply(socket.handle, seen, modems);
        }
    }
    return modems;
}

}  // namespace corvina
