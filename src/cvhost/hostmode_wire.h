#pragma once

#include <cstddef>
#include <cstdint>

namespace cvhost {

// Framing shared by requests and responses on the hostmode link:
//   AA AA | body, every AA of it followed by 00 | (the CRC is the last two body bytes)
inline constexpr std::uint8_t kSyncByte = 0xAA;
// Inserted after every 0xAA that is not one of the two start bytes.
inline constexpr std::uint8_t kStuffByte = 0x00;
// An escape byte followed by this, before any body byte, is the modem's marker.
inline constexpr std::uint8_t kMarkerByte = 0x55;

// Request code byte: bit 0 command, bit 6 sequence start, bit 7 sequence bit.
inline constexpr std::uint8_t kCodeCommand = 0x01;
inline constexpr std::uint8_t kCodeSequenceStart = 0x40;
inline constexpr std::uint8_t kCodeSequenceBit = 0x80;

// A request carries 1..256 payload bytes; its length byte holds size - 1.
inline constexpr std::size_t kMaxPayloadSize = 256;

// Size of the CRC that closes every body, low byte first.
inline constexpr std::size_t kCrcSize = 2;

}  // namespace cvhost
