#pragma once

#include <cstdint>
#include <vector>

#include "link/socket_layer.h"

namespace corvina {

// An IPv4 interface address and its netmask, host byte order.
struct InterfaceAddress {
    std::uint32_t address = 0;
    std::uint32_t netmask = 0;
};

inline constexpr std::uint32_t kLoopbackAddress = 0x7F000001;   // 127.0.0.1
inline constexpr std::uint32_t kLimitedBroadcast = 0xFFFFFFFF;  // 255.255.255.255

// The addresses to probe: each interface's directed broadcast (address OR NOT
// netmask), 127.0.0.1 left out, every address once, in ascending order; the
// limited broadcast when that leaves nothing. Pure; any thread.
std::vector<std::uint32_t> BroadcastTargets(const std::vector<InterfaceAddress>& interfaces);

// The IPv4 addresses of the interfaces that are up. Windows asks `socket`
// (an IPv4 datagram socket) for them; POSIX does not need it. Empty when the
// system will not say.
std::vector<InterfaceAddress> LocalInterfaceAddresses(net::SocketHandle socket);

}  // namespace corvina
