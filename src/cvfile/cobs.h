#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cvfile {

// Consistent Overhead Byte Stuffing: rewrites a byte string so that it holds
// no 0x00, letting 0x00 delimit frames. Pure; any thread may call these.

// The COBS encoding of `size` bytes at `data`: at most size + size / 254 + 1
// bytes, none of them 0x00. An empty input encodes to the single byte 0x01; an
// input ending in a full run of 254 non-zero bytes gets a trailing 0x01 group.
// Throws std::invalid_argument ("COBS input is null") for a null `data` with
// `size` > 0.
std::vector<std::uint8_t> CobsEncode(const std::uint8_t* data, std::size_t size);

// Decodes `size` bytes of COBS text at `data` into `output`, which is cleared
// first. Returns false for input that no encoder produces: empty or null
// input, any 0x00 byte, or a group that runs past the end; `output` is then
// left empty.
bool CobsDecode(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& output);

}  // namespace cvfile
