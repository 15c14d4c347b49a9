#include "cvhost/response_parser.h"

#include "cvhost/crc16.h"
#include "cvhost/hostmode_wire.h"

namespace cvhost {
namespace {

// Body positions: channel | code | data... | CRC low, high
constexpr std::size_t kChannelIndex = 0;
constexpr std::size_t kCodeIndex = 1;
constexpr std::size_t kDataIndex = 2;
// How each code delimits its data:
//   0:     channel | code | CRC                          (4 bytes)
//   1..5:  channel | code | text | 00 | CRC              (index of the 00 + 3)
//   6..8:  channel | code | L | L + 1 data bytes | CRC   (L + 6)
constexpr std::uint8_t kCodeEmpty = 0;
constexpr std::uint8_t kFirstTextCode = 1;
constexpr std::uint8_t kLastTextCode = 5;
constexpr std::uint8_t kFirstLengthCode = 6;
constexpr std::size_t kEmptyBodySize = 4;
constexpr std::size_t kTextTail = 3;
constexpr std::size_t kLengthOverhead = 6;
constexpr std::size_t kMinBodySize = 4;

bool IsTextCode(std::uint8_t code) {
    return code >= kFirstTextCode && code <= kLastTextCode;
}

}  // namespace

ResponseParser::ResponseParser() {
    body_.reserve(kMaxBodySize);
}

std::vector<ParseEvent> ResponseParser::Push(const std::uint8_t* data, std::size_t size) {
    std::vector<ParseEvent> events;
    if (data == nullptr || size == 0) {
        return events;
    }
    for (std::size_t i = 0; i < size; ++i) {
        Consume(data[i], events);
    }
    return events;
}

void ResponseParser::Consume(std::uint8_t byte, std::vector<ParseEvent>& events) {
    switch (state_) {
        case State::Hunting:
            if (byte == kSyncByte) {
                state_ = State::SyncSeen;
            }
            return;
        case State::SyncSeen:
            if (byte == kSyncByte) {
                state_ = State::InFrame;
                ClearBody();
                escape_ = false;
            } else {
                state_ = State::Hunting;
            }
            return;
        case State::InFrame:
            break;
    }

    if (!escape_) {
        if (byte == kSyncByte) {
            escape_ = true;
        } else {
            AppendBodyByte(byte, events);
        }
        return;
    }

    escape_ = false;
    if (byte == kStuffByte) {
        AppendBodyByte(kSyncByte, events);
    } else if (byte == kSyncByte) {
        ClearBody();
    } else if (byte == kMarkerByte && body_.empty()) {
        EmitFault(ParseEvent::Kind::Marker, events);
    } else {
        EmitFault(ParseEvent::Kind::FormatError, events);
    }
}

void ResponseParser::AppendBodyByte(std::uint8_t byte, std::vector<ParseEvent>& events) {
    body_.push_back(byte);
    const std::size_t n = body_.size();
    if (n <= kCodeIndex) {
        return;
    }
    if (n == kCodeIndex + 1) {
        if (byte > kMaxCode) {
            EmitFault(ParseEvent::Kind::FormatError, events);
            return;
        }
        if (byte == kCodeEmpty) {
            expectedSize_ = kEmptyBodySize;
        }
        return;
    }
    if (expectedSize_ == 0) {
        const std::uint8_t code = body_[kCodeIndex];
        if (IsTextCode(code)) {
            if (byte == 0x00) {
                expectedSize_ = (n - 1) + kTextTail;
            }
        } else if (code >= kFirstLengthCode && n == kDataIndex + 1) {
            expectedSize_ = static_cast<std::size_t>(byte) + kLengthOverhead;
        }
    }
    if (n == expectedSize_) {
        FinishFrame(events);
    } else if (n >= kMaxBodySize) {
        EmitFault(ParseEvent::Kind::FormatError, events);
    }
}

void ResponseParser::FinishFrame(std::vector<ParseEvent>& events) {
    if (body_.size() < kMinBodySize) {
        EmitFault(ParseEvent::Kind::FormatError, events);
        return;
    }
    const std::size_t crcIndex = body_.size() - kCrcSize;
    const std::uint16_t received =
        static_cast<std::uint16_t>(body_[crcIndex] | (body_[crcIndex + 1] << 8));
    if (Crc16X25(body_.data(), crcIndex) != received) {
        EmitFault(ParseEvent::Kind::CrcError, events);
        return;
    }

    ParseEvent event;
    event.kind = ParseEvent::Kind::Frame;
    event.frame.channel = body_[kChannelIndex];
    event.frame.code = body_[kCodeIndex];
    const std::uint8_t code = event.frame.code;
    if (IsTextCode(code)) {
        // The terminator sits just before the CRC.
        event.frame.payload.assign(body_.begin() + kDataIndex, body_.begin() + crcIndex - 1);
    } else if (code >= kFirstLengthCode) {
        event.frame.payload.assign(body_.begin() + kDataIndex + 1, body_.begin() + crcIndex);
    }
    events.push_back(std::move(event));
    Reset();
}

std::size_t ResponseParser::ExpectedBodySize() const {
    return expectedSize_;
}

void ResponseParser::Reset() {
    state_ = State::Hunting;
    ClearBody();
    escape_ = false;
}

void ResponseParser::EmitFault(ParseEvent::Kind kind, std::vector<ParseEvent>& events) {
    ParseEvent event;
    event.kind = kind;
    events.push_back(std::move(event));
    Reset();
}

void ResponseParser::ClearBody() {
    body_.clear();
    expectedSize_ = 0;
}

}  // namespace cvhost
