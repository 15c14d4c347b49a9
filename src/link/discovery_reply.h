#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "link/discovery.h"

namespace corvina {

inline constexpr std::uint16_t kDiscoveryPort = 1101;

// Probe: "DSCV" (4 bytes, no terminator).
// Reply: magic(4) | unused(1) | replyByte(1) | unused(6) | replyValue(8, big-endian) |
//        telnet port(2, big-endian) | unused(1) | name(9, NUL-ended or full).
inline constexpr char kDiscoveryMagic[4] = {'D', 'S', 'C', 'V'};
inline constexpr std::size_t kDiscoveryReplyByteOffset = 5;
inline constexpr std::size_t kDiscoveryReplyValueOffset = 12;
inline constexpr std::size_t kDiscoveryPortOffset = 20;
inline constexpr std::size_t kDiscoveryNameOffset = 23;
inline constexpr std::size_t kDiscoveryNameBytes = 9;
inline constexpr std::size_t kDiscoveryMinimumReply = 32;
// Longer replies are accepted but read only this far.
inline constexpr std::size_t kDiscoveryMaximumReply = 256;

// The modem described by a reply of `size` bytes at `data` from `address`, or
// nothing when the datagram is shorter than a reply or lacks the magic. The
// name ends at its first NUL and loses its trailing blanks. Pure; any thread.
std::optional<DiscoveredModem> ParseDiscoveryReply(const std::uint8_t* data, std::size_t size,
                                                   const std::string& address);

}  // namespace corvina
