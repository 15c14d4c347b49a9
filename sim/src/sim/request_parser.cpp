#include "sim/request_parser.h"

#include "cvhost/crc16.h"
#include "cvhost/hostmode_wire.h"

namespace velksim {
namespace {

using cvhost::kCodeCommand;
using cvhost::kCodeSequenceBit;
using cvhost::kCodeSequenceStart;
using cvhost::kCrcSize;
constexpr std::uint8_t kSync = cvhost::kSyncByte;
constexpr std::uint8_t kStuff = cvhost::kStuffByte;
// Bits 1..5 of a request's code byte are always clear.
constexpr std::uint8_t kCodeReservedBits = 0x3E;
// Body: channel, code, length-1, then the payload and the CRC.
constexpr std::size_t kHeaderSize = 3;

}  // namespace

std::vector<RequestEvent> RequestParser::Push(const std::uint8_t* data, std::size_t size) {
    std::vector<RequestEvent> events;
    if (data == nullptr) {
        return events;
    }
    for (std::size_t i = 0; i < size; ++i) {
        Consume(data[i], events);
    }
    return events;
}

void RequestParser::Reset() {
    state_ = State::Hunting;
    escape_ = false;
    body_.clear();
}

void RequestParser::Consume(std::uint8_t byte, std::vector<RequestEvent>& events) {
    switch (state_) {
        case State::Hunting:
            if (byte == kSync) {
                state_ = State::SyncSeen;
            }
            return;
        case State::SyncSeen:
            if (byte == kSync) {
                state_ = State::InFrame;
                body_.clear();
                escape_ = false;
            } else {
                state_ = State::Hunting;
            }
            return;
        case State::InFrame:
            if (!escape_) {
                if (byte == kSync) {
                    escape_ = true;
                } else {
                    AppendBodyByte(byte, events);
                }
                return;
            }
            escape_ = false;
            if (byte == kStuff) {
                AppendBodyByte(kSync, events);
            } else if (byte == kSync) {
                body_.clear();  // a fresh start inside a frame abandons the old one
            } else {
                Emit(RequestEvent::Kind::FormatError, events);
            }
            return;
    }
}

void RequestParser::AppendBodyByte(std::uint8_t byte, std::vector<RequestEvent>& events) {
    body_.push_back(byte);
    if (body_.size() == 2 && (body_[1] & kCodeReservedBits) != 0) {
        Emit(RequestEvent::Kind::FormatError, events);
        return;
    }
    if (body_.size() > kHeaderSize &&
        body_.size() == kHeaderSize + std::size_t{body_[2]} + 1 + kCrcSize) {
        Finish(events);
    }
}

void RequestParser::Finish(std::vector<RequestEvent>& events) {
    const std::size_t dataSize = body_.size() - kCrcSize;
    const std::uint16_t expected = cvhost::Crc16X25(body_.data(), dataSize);
    const std::uint16_t received =
        static_cast<std::uint16_t>(body_[dataSize] | (body_[dataSize + 1] << 8));
    if (expected != received) {
        Emit(RequestEvent::Kind::CrcError, events);
        return;
    }
    RequestEvent event;
    event.kind = RequestEvent::Kind::Request;
    Request& request = event.request;
    request.channel = body_[0];
    request.command = (body_[1] & kCodeCommand) != 0;
    request.sequenceBit = (body_[1] & kCodeSequenceBit) != 0;
    request.sequenceStart = (body_[1] & kCodeSequenceStart) != 0;
    request.payload.assign(body_.begin() + kHeaderSize, body_.begin() + dataSize);
    request.body = std::move(body_);
    events.push_back(std::move(event));
    Reset();
}

void RequestParser::Emit(RequestEvent::Kind kind, std::vector<RequestEvent>& events) {
    RequestEvent event;
    event.kind = kind;
    events.push_back(std::move(event));
    Reset();
}

}  // namespace velksim
