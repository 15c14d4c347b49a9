#include "ops/broadcast_timing.h"

#include <array>
#include <cstddef>

namespace corvina {
namespace {

constexpr std::size_t kModemHeldBytes = 8 * 256;  // eight waiting frames of 256 bytes
constexpr int kEndMarginMs = 10000;
// Lowest air rate of each level, bytes per second.
constexpr std::array<int, 4> kLevelBytesPerSecond = {30, 120, 320, 700};

}  // namespace

int BroadcastEndTimeoutMs(std::uint8_t level) {
    const int rate = level >= 1 && level <= kLevelBytesPerSecond.size()
                         ? kLevelBytesPerSecond[level - 1]
                         : kLevelBytesPerSecond.front();
    const int airMs = static_cast<int>((kModemHeldBytes * 1000 + rate - 1) / rate);
    return airMs + kEndMarginMs;
}

}  // namespace corvina
