#include <ws2tcpip.h>

#include "link/broadcast_targets.h"

namespace corvina {
namespace {

// 64 entries of INTERFACE_INFO (76 bytes each).
constexpr DWORD kInterfaceListBytes = 4864;

}  // namespace

std::vector<InterfaceAddress> LocalInterfaceAddresses(net::SocketHandle socket) {
    std::vector<InterfaceAddress> interfaces;
    INTERFACE_INFO list[kInterfaceListBytes / sizeof(INTERFACE_INFO)] = {};
    DWORD returned = 0;
    if (WSAIoctl(socket, SIO_GET_INTERFACE_LIST, nullptr, 0, list, sizeof list, &returned, nullptr,
                 nullptr) == SOCKET_ERROR) {
        return interfaces;
    }
    const DWORD count = returned / sizeof(INTERFACE_INFO);
    for (DWORD i = 0; i < count; ++i) {
        // A down interface would only swallow probes.
        if ((list[i].iiFlags & IFF_UP) == 0) {
            continue;
        }
        interfaces.push_back({ntohl(list[i].iiAddress.AddressIn.sin_addr.s_addr),
                              ntohl(list[i].iiNetmask.AddressIn.sin_addr.s_addr)});
    }
    return interfaces;
}

}  // namespace corvina
