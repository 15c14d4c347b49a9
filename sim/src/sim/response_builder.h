#pragma once

#include <cstdint>
#include <vector>

namespace velksim {

// Response codes as the modem uses them.
inline constexpr std::uint8_t kCodeOk = 0;
inline constexpr std::uint8_t kCodeText = 1;
inline constexpr std::uint8_t kCodeError = 2;
inline constexpr std::uint8_t kCodeLinkMessage = 3;
inline constexpr std::uint8_t kCodeStatus = 7;  // also received channel data
inline constexpr std::uint8_t kCodeReceived = 7;
inline constexpr std::uint8_t kCodeEcho = 8;

// Largest data part of a code 6..8 answer.
inline constexpr std::size_t kMaxResponseData = 256;

// Builds one stuffed response frame:
//   AA AA | channel | code | data | CRC-16/X.25 low, high
// with every 0xAA after the start bytes followed by 0x00. The data part depends
// on the code: none for 0; the text and one 0x00 for 1..5 (the text is cut at its
// first 0x00, which could not be told from the terminator); a length byte
// (size-1) and the bytes for 6..8. When `corruptCrc` is set the CRC is sent
// inverted, so the frame is well formed but fails its check.
// Throws std::invalid_argument for a code above 8 or code 6..8 data outside
// 1..256 bytes: those are programming errors of the simulator.
std::vector<std::uint8_t> BuildResponse(std::uint8_t channel, std::uint8_t code,
                                        const std::vector<std::uint8_t>& data,
                                        bool corruptCrc = false);

}  // namespace velksim
