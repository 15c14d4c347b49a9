#include "link/broadcast_targets.h"

#include <set>

namespace corvina {

std::vector<std::uint32_t> BroadcastTargets(const std::vector<InterfaceAddress>& interfaces) {
    std::set<std::uint32_t> targets;
    for (const InterfaceAddress& entry : interfaces) {
        if (entry.address != kLoopbackAddress) {
            targets.insert(entry.address | ~entry.netmask);
        }
    }
    if (targets.empty()) {
        return {kLimitedBroadcast};
    }
    return {targets.begin(), targets.end()};
}

}  // namespace corvina
