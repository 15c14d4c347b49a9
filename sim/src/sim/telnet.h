#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velksim {

// The server side of the minimal Telnet layer a network modem speaks: 0xFF is
// doubled in both directions and every Telnet command the client sends is
// removed. The simulator never answers option requests, so replies to its own
// offers can never start a negotiation loop. Not thread-safe: one endpoint
// thread owns it.
class TelnetCodec {
  public:
    // Returns the payload bytes among `size` received bytes; a command split
    // across two calls is decoded as one.
    std::vector<std::uint8_t> Decode(const std::uint8_t* data, std::size_t size);

    // The wire form of payload bytes: every 0xFF followed by a second 0xFF.
    static std::vector<std::uint8_t> Encode(const std::vector<std::uint8_t>& payload);

    // Option offers sent at connect when asked for, so that the client's reply
    // path is exercised: WILL suppress-go-ahead, WILL echo, DO binary, DO
    // terminal-type and one COM-port-control subnegotiation.
    static std::vector<std::uint8_t> Offers();

    // Count of complete Telnet commands (options, subnegotiations, others)
    // removed since the last Reset.
    std::size_t commandsReceived() const { return commands_; }

    void Reset();

  private:
    enum class State { Data, Command, Option, Subnegotiation, SubnegotiationCommand };
    State state_ = State::Data;
    std::size_t commands_ = 0;
};

}  // namespace velksim
