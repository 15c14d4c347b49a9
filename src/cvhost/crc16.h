#pragma once

#include <cstddef>
#include <cstdint>

namespace cvhost {

// CRC-16/X.25 (reflected polynomial 0x1021, initial value 0xFFFF, final
// complement) of `size` bytes at `data`, processed in sending order. An empty
// range gives 0. Pure; any thread may call it.
// Throws std::invalid_argument when `data` is null and `size` is not 0.
std::uint16_t Crc16X25(const std::uint8_t* data, std::size_t size);

}  // namespace cvhost
