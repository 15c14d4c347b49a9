#pragma once

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace corvina {

// Telnet bytes (RFC 854 values).
inline constexpr std::uint8_t kTelnetIac = 255;
inline constexpr std::uint8_t kTelnetDont = 254;
inline constexpr std::uint8_t kTelnetDo = 253;
inline constexpr std::uint8_t kTelnetWont = 252;
inline constexpr std::uint8_t kTelnetWill = 251;
inline constexpr std::uint8_t kTelnetSb = 250;
inline constexpr std::uint8_t kTelnetSe = 240;

// Options we agree to: binary transmission, suppress go-ahead, COM port control.
inline constexpr std::uint8_t kTelnetOptionBinary = 0;
inline constexpr std::uint8_t kTelnetOptionSuppressGoAhead = 3;
inline constexpr std::uint8_t kTelnetOptionComPortControl = 44;

enum TelnetReceiveState : std::int32_t {
    TelnetData = 0,                   // ordinary payload
    TelnetCommand = 1,                // an IAC was seen
    TelnetOption = 2,                 // IAC WILL/WONT/DO/DONT seen; option byte awaited
    TelnetSubnegotiation = 3,         // inside IAC SB ...
    TelnetSubnegotiationCommand = 4,  // an IAC was seen inside a subnegotiation
};

// A reply to the peer: IAC, answer, option.
using TelnetReply = std::array<std::uint8_t, 3>;

// The receive side of our minimal Telnet: strips every command from the
// stream, undoubles IAC IAC, and says which option requests need an answer.
// The state persists between calls, so a command split across two receives is
// decoded as one. Opens no negotiation. An option is answered once per change
// of its state: a WILL or DO for an option already agreed is an acknowledgement
// and gets no answer (a peer that acknowledges acknowledgements would otherwise
// never stop); WONT and DONT switch it off again unanswered. Refusals are
// repeated, since the option stays off. Pure; one thread at a time.
class TelnetReceiver {
  public:
    // Runs `byte` through the machine. A payload byte is appended to `payload`.
    // Returns true when `byte` completed a WILL or DO that needs an answer,
    // with the answer in `reply` (DO/WILL for the accepted options, DONT/WONT
    // for the rest).
    bool Feed(std::uint8_t byte, std::deque<std::uint8_t>& payload, TelnetReply& reply);

    // Back to the state of a new connection: no command pending, no option agreed.
    void Reset() {
        state_ = TelnetData;
        pendingCommand_ = 0;
        peerEnabled_.reset();
        ownEnabled_.reset();
    }
    TelnetReceiveState State() const { return state_; }

  private:
    TelnetReceiveState state_ = TelnetData;
    std::uint8_t pendingCommand_ = 0;
    std::bitset<256> peerEnabled_;  // options the peer performs: its WILL got our DO
    std::bitset<256> ownEnabled_;   // options we perform: its DO got our WILL
};

// The wire form of `size` payload bytes at `data`: every 255 doubled.
std::vector<std::uint8_t> TelnetEscape(const std::uint8_t* data, std::size_t size);

}  // namespace corvina
