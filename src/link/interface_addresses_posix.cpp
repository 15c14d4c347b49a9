#include <ifaddrs.h>
#include <net/if.h>

#include "link/broadcast_targets.h"

namespace corvina {

std::vector<InterfaceAddress> LocalInterfaceAddresses(net::SocketHandle) {
    std::vector<InterfaceAddress> interfaces;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        return interfaces;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_netmask == nullptr ||
            entry->ifa_addr->sa_family != AF_INET || (entry->ifa_flags & IFF_UP) == 0) {
            continue;
        }
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        const auto* netmask = reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask);
        interfaces.push_back({ntohl(address->sin_addr.s_addr), ntohl(netmask->sin_addr.s_addr)});
    }
    freeifaddrs(list);
    return interfaces;
}

}  // namespace corvina
