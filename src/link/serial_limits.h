#pragma once

#include <cstddef>

namespace corvina {

// One system call moves at most this many bytes each way.
inline constexpr std::size_t kSerialChunkBytes = 65536;

// Driver queue size requested each way where the platform lets us choose.
inline constexpr std::size_t kSerialDriverQueueBytes = 131072;

// A port that takes no byte for this long fails the write, so a stuck device
// cannot block the writer forever.
inline constexpr unsigned kSerialWriteStallLimitMs = 10000;

}  // namespace corvina
