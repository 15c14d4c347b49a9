#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cvhost {

// Builds one complete hostmode request, stuffed and ready to be written in one
// piece:
//   AA AA | channel | code | size-1 | payload (1..256) | CRC-16/X.25 low, high
// where every 0xAA after the two start bytes is followed by 0x00. `command`,
// `sequenceBit` and `sequenceStart` set bits 0, 7 and 6 of the code byte; the
// channel is passed through unchanged. Holds no state; any thread may call it.
// Throws std::invalid_argument("CRC Hostmode payload must contain 1..256 bytes")
// when `payload` is null or `size` is 0 or above 256.
std::vector<std::uint8_t> BuildRequest(std::uint8_t channel, bool command, bool sequenceBit,
                                       bool sequenceStart, const std::uint8_t* payload,
                                       std::size_t size);

// Convenience form for a payload held in a vector; same contract.
std::vector<std::uint8_t> BuildRequest(std::uint8_t channel, bool command, bool sequenceBit,
                                       bool sequenceStart,
                                       const std::vector<std::uint8_t>& payload);

}  // namespace cvhost
