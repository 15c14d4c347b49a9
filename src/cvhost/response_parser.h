#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cvhost {

// One decoded hostmode response. `payload` is the text without its 0x00 for
// codes 1..5, the data bytes without the length byte for codes 6..8, and empty
// for code 0.
struct Frame {
    std::uint8_t channel = 0;
    std::uint8_t code = 0;
    std::vector<std::uint8_t> payload;

    bool operator==(const Frame&) const = default;
};

// One result of parsing. `frame` is filled only for Kind::Frame; for every
// other kind it is all zero and empty.
struct ParseEvent {
    enum class Kind : std::int32_t {
        Frame = 0,        // a complete frame whose CRC matched
        Marker = 1,       // 0xAA 0x55 before any body byte
        CrcError = 2,     // a complete frame whose CRC did not match
        FormatError = 3,  // anything else that breaks the framing
    };

    Kind kind = Kind::Frame;
    Frame frame;

    bool operator==(const ParseEvent&) const = default;
};

// Turns the raw byte stream read from the modem, in pieces of any size, into
// frames and framing faults. Bad input never throws: every fault is an event and
// parsing goes on with the next byte; after every event the parser hunts for the
// next two start bytes. It never writes, times out or matches answers to
// requests. Not thread-safe: one thread at a time (the host worker) uses it.
class ResponseParser {
  public:
    enum class State : std::int32_t {
        Hunting = 0,   // outside a frame
        SyncSeen = 1,  // one 0xAA seen while hunting
        InFrame = 2,   // collecting a body
    };

    // Response body layout, after unstuffing:
    //   channel | code | data (by code) | CRC-16/X.25 low, high
    static constexpr std::uint8_t kMaxCode = 8;
    // Longest body collected before a runaway text body is refused.
    static constexpr std::size_t kMaxBodySize = 262;

    ResponseParser();

    // Feeds `size` bytes at `data`, in order, and returns the events they
    // completed, in the order they arose. A null `data` or a `size` of 0 returns
    // nothing and changes nothing.
    std::vector<ParseEvent> Push(const std::uint8_t* data, std::size_t size);

    // Feeds one byte, appending any event it completes to `events`.
    void Consume(std::uint8_t byte, std::vector<ParseEvent>& events);

    // The complete body length that the body bytes held so far imply, or 0 while
    // it cannot be told yet (fewer than 2 bytes, a text body whose 0x00 has not
    // arrived, a data body whose length byte has not arrived, or a code above 8).
    std::size_t ExpectedBodySize() const;

    // Back to hunting with an empty body; any partial frame is dropped silently.
    void Reset();

    State CurrentState() const { return state_; }

  private:
    void AppendBodyByte(std::uint8_t byte, std::vector<ParseEvent>& events);
    void FinishFrame(std::vector<ParseEvent>& events);
    void EmitFault(ParseEvent::Kind kind, std::vector<ParseEvent>& events);
    void ClearBody();

    State state_ = State::Hunting;
    std::vector<std::uint8_t> body_;
    bool escape_ = false;
    // Body length implied so far, 0 while unknown; kept in step with body_ so
    // that completion is found without rescanning the body for every byte.
    std::size_t expectedSize_ = 0;
};

}  // namespace cvhost
