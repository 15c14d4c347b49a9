#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velksim {

// One hostmode request as the host sent it.
struct Request {
    std::uint8_t channel = 0;
    bool command = false;
    bool sequenceBit = false;
    bool sequenceStart = false;
    std::vector<std::uint8_t> payload;
    // The whole unstuffed body (channel to CRC); two requests are the same
    // transmission exactly when their bodies are equal.
    std::vector<std::uint8_t> body;
};

struct RequestEvent {
    enum class Kind {
        Request,      // a complete request whose CRC matched
        CrcError,     // a complete request whose CRC did not match
        FormatError,  // a broken escape or an invalid code byte
    };
    Kind kind = Kind::Request;
    Request request;  // filled for Kind::Request only
};

// Splits the byte stream written by the host into requests. Request body, after
// unstuffing:
//   channel | code | length-1 | payload (length bytes) | CRC-16/X.25 low, high
// Bytes between frames are dropped; after every event the parser hunts for the
// next two start bytes. Never throws for bad input. Not thread-safe.
class RequestParser {
  public:
    // Feeds `size` bytes and returns the events they completed, in order.
    std::vector<RequestEvent> Push(const std::uint8_t* data, std::size_t size);
    // Feeds one byte, appending any completed event to `events`.
    void Consume(std::uint8_t byte, std::vector<RequestEvent>& events);
    void Reset();

  private:
    enum class State { Hunting, SyncSeen, InFrame };

    void AppendBodyByte(std::uint8_t byte, std::vector<RequestEvent>& events);
    void Finish(std::vector<RequestEvent>& events);
    void Emit(RequestEvent::Kind kind, std::vector<RequestEvent>& events);

    State state_ = State::Hunting;
    bool escape_ = false;
    std::vector<std::uint8_t> body_;
};

}  // namespace velksim
