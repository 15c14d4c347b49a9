#include "sim/response_builder.h"

#include <algorithm>
#include <stdexcept>

#include "cvhost/crc16.h"
#include "cvhost/hostmode_wire.h"

namespace velksim {
namespace {

constexpr std::uint8_t kSync = cvhost::kSyncByte;
constexpr std::uint8_t kStuff = cvhost::kStuffByte;
constexpr std::uint8_t kTextTerminator = 0x00;
constexpr std::uint8_t kMaxCode = 8;
constexpr std::uint8_t kFirstTextCode = 1;
constexpr std::uint8_t kLastTextCode = 5;

}  // namespace

std::vector<std::uint8_t> BuildResponse(std::uint8_t channel, std::uint8_t code,
                                        const std::vector<std::uint8_t>& data, bool corruptCrc) {
    if (code > kMaxCode) {
        throw std::invalid_argument("response code above 8");
    }
    std::vector<std::uint8_t> body{channel, code};
    if (code >= kFirstTextCode && code <= kLastTextCode) {
        const auto end = std::find(data.begin(), data.end(), kTextTerminator);
        body.insert(body.end(), data.begin(), end);
        body.push_back(kTextTerminator);
    } else if (code > kLastTextCode) {
        if (data.empty() || data.size() > kMaxResponseData) {
            throw std::invalid_argument("response data must contain 1..256 bytes");
        }
        body.push_back(static_cast<std::uint8_t>(data.size() - 1));
        body.insert(body.end(), data.begin(), data.end());
    }
    std::uint16_t crc = cvhost::Crc16X25(body.data(), body.size());
    if (corruptCrc) {
        crc = static_cast<std::uint16_t>(~crc);
    }
    body.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    body.push_back(static_cast<std::uint8_t>(crc >> 8));

    std::vector<std::uint8_t> frame{kSync, kSync};
    frame.reserve(2 + body.size() * 2);
    for (const std::uint8_t b : body) {
        frame.push_back(b);
        if (b == kSync) {
            frame.push_back(kStuff);
        }
    }
    return frame;
}

}  // namespace velksim
