#include "cvhost/request.h"

#include <stdexcept>

#include "cvhost/crc16.h"
#include "cvhost/hostmode_wire.h"

namespace cvhost {
namespace {

// Unstuffed request body: channel | code | size-1 | payload | CRC low, high
constexpr std::size_t kHeaderSize = 3;

void AppendStuffed(std::vector<std::uint8_t>& out, std::uint8_t byte) {
    out.push_back(byte);
    if (byte == kSyncByte) {
        out.push_back(kStuffByte);
    }
}

}  // namespace

std::vector<std::uint8_t> BuildRequest(std::uint8_t channel, bool command, bool sequenceBit,
                                       bool sequenceStart, const std::uint8_t* payload,
                                       std::size_t size) {
    if (payload == nullptr || size == 0 || size > kMaxPayloadSize) {
        throw std::invalid_argument("CRC Hostmode payload must contain 1..256 bytes");
    }
    std::uint8_t code = 0;
    if (command) {
        code |= kCodeCommand;
    }
    if (sequenceBit) {
        code |= kCodeSequenceBit;
    }
    if (sequenceStart) {
        code |= kCodeSequenceStart;
    }

    std::vector<std::uint8_t> raw;
    raw.reserve(kHeaderSize + size + kCrcSize);
    raw.push_back(channel);
    raw.push_back(code);
    raw.push_back(static_cast<std::uint8_t>(size - 1));
    raw.insert(raw.end(), payload, payload + size);
    const std::uint16_t crc = Crc16X25(raw.data(), raw.size());
    raw.push_back(static_cast<std::uint8_t>(crc & 0xFFU));
    raw.push_back(static_cast<std::uint8_t>(crc >> 8));

    std::vector<std::uint8_t> out;
    out.reserve(2 + 2 * raw.size());
    out.push_back(kSyncByte);
    out.push_back(kSyncByte);
    for (std::uint8_t byte : raw) {
        AppendStuffed(out, byte);
    }
    return out;
}

std::vector<std::uint8_t> BuildRequest(std::uint8_t channel, bool command, bool sequenceBit,
                                       bool sequenceStart,
                                       const std::vector<std::uint8_t>& payload) {
    return BuildRequest(channel, command, sequenceBit, sequenceStart,
                        payload.empty() ? nullptr : payload.data(), payload.size());
}

}  // namespace cvhost
