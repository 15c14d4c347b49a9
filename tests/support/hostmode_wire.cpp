#include "support/hostmode_wire.h"

#include "cvhost/crc16.h"

namespace corvina::testing {
namespace {

constexpr std::uint8_t kSync = 0xAA;
constexpr std::uint8_t kStuff = 0x00;
// Request body: channel, code, length-1, payload, CRC (2).
constexpr std::size_t kRequestOverhead = 5;

}  // namespace

Bytes ToBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

std::string ToString(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

Bytes ResponseFrame(std::uint8_t channel, std::uint8_t code, const Bytes& data) {
    Bytes body{channel, code};
    if (code >= 1 && code <= 5) {
        body.insert(body.end(), data.begin(), data.end());
        body.push_back(0x00);
    } else if (code >= 6 && code <= 8) {
        body.push_back(static_cast<std::uint8_t>(data.size() - 1));
        body.insert(body.end(), data.begin(), data.end());
    }
    const std::uint16_t crc = cvhost::Crc16X25(body.data(), body.size());
    body.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    body.push_back(static_cast<std::uint8_t>(crc >> 8));
    Bytes wire{kSync, kSync};
    for (std::uint8_t byte : body) {
        wire.push_back(byte);
        if (byte == kSync) {
            wire.push_back(kStuff);
        }
    }
    return wire;
}

Bytes ResponseFrame(std::uint8_t channel, std::uint8_t code, const std::string& text) {
    return ResponseFrame(channel, code, ToBytes(text));
}

std::vector<HostRequest> RequestDecoder::Push(const std::uint8_t* data, std::size_t size) {
    std::vector<HostRequest> requests;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t byte = data[i];
        if (state_ != State::InFrame) {
            const bool second = state_ == State::SyncSeen;
            state_ = byte != kSync ? State::Hunting : second ? State::InFrame : State::SyncSeen;
            if (state_ == State::InFrame) {
                body_.clear();
                raw_ = {kSync, kSync};
                escape_ = false;
            }
            continue;
        }
        raw_.push_back(byte);
        if (escape_ && byte != kStuff) {
            state_ = State::Hunting;  // not a request of ours
            continue;
        }
        if (!escape_ && byte == kSync) {
            escape_ = true;
            continue;
        }
        body_.push_back(escape_ ? kSync : byte);
        escape_ = false;
        if (body_.size() >= 3 && body_.size() == body_[2] + 1u + kRequestOverhead) {
            HostRequest request;
            request.channel = body_[0];
            request.command = (body_[1] & 0x01) != 0;
            request.sequenceBit = (body_[1] & 0x80) != 0;
            request.sequenceStart = (body_[1] & 0x40) != 0;
            request.payload.assign(body_.begin() + 3, body_.end() - 2);
            const std::uint16_t crc = cvhost::Crc16X25(body_.data(), body_.size() - 2);
            request.crcOk = body_[body_.size() - 2] == (crc & 0xFF) && body_.back() == (crc >> 8);
            request.raw = raw_;
            requests.push_back(std::move(request));
            state_ = State::Hunting;
        }
    }
    return requests;
}

void RequestDecoder::Reset() {
    state_ = State::Hunting;
    escape_ = false;
    body_.clear();
    raw_.clear();
}

}  // namespace corvina::testing
