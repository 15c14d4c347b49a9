#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cvhost/crc16.h"

namespace cvhost::testing {

using Bytes = std::vector<std::uint8_t>;

// "AA AA 04 00" -> {0xAA, 0xAA, 0x04, 0x00}.
inline Bytes Hex(std::string_view text) {
    Bytes out;
    std::istringstream in{std::string(text)};
    unsigned value = 0;
    while (in >> std::hex >> value) {
        out.push_back(static_cast<std::uint8_t>(value));
    }
    return out;
}

inline Bytes Ascii(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

inline std::string ToHex(const Bytes& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (std::uint8_t b : bytes) {
        if (!out.empty()) {
            out += ' ';
        }
        out += kDigits[b >> 4];
        out += kDigits[b & 0x0F];
    }
    return out;
}

// A response as the modem sends it: start bytes, then `body` followed by its
// CRC, every 0xAA of both stuffed with 0x00.
inline Bytes WireResponse(Bytes body) {
    const std::uint16_t crc = Crc16X25(body.data(), body.size());
    body.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    body.push_back(static_cast<std::uint8_t>(crc >> 8));
    Bytes out = {0xAA, 0xAA};
    for (std::uint8_t b : body) {
        out.push_back(b);
        if (b == 0xAA) {
            out.push_back(0x00);
        }
    }
    return out;
}

}  // namespace cvhost::testing
