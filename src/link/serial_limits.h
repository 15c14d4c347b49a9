#pragma once

#include <cstddef>

namespace corvina {

// One system call moves at most this many bytes each way.
inline constexpr std::size_t kSerialChunkBytes = 65536;

// Driver queue size requested each way where the platform lets us choose.
inline constexpr std::size_t kSerialDriverQueueBytes = 131072;

}  // namespace corvina
