#pragma once

#include <cstddef>
#include <cstdint>

namespace corvina {

// Writes every byte or fails: a short write is carried on, a write cut by a
// signal is made again. Pieces are bounded so one call never asks the kernel
// for more than it will take at once on any file system we have met.
bool WriteAll(int fd, const std::uint8_t* data, std::size_t size);

}  // namespace corvina
