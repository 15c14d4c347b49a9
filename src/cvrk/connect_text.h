#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cvrk {

// The texts around an ARQ connection, in the modem's single-byte character set.
// Every function here is pure and may be called from any thread; callers that
// pass shared strings lock them. A call sign that is not valid (see
// NormalizeCall) gives an empty result, never an error.

// The station an operator's connect command calls: "C" or "c", one blank, any
// further blanks, at most one of "!", "%" or ";", then the call up to the next
// blank, CR or LF. Returns the call upper-cased, or empty when `command` is not
// such a command or the call is invalid. Words after the call are ignored.
std::string ExtractConnectTarget(const std::vector<std::uint8_t>& command);

// The peer named in the modem's link message: the call-sign characters right
// after the first "CONNECTED to " (case-sensitive), upper-cased, or empty when
// there is no such text or the run of characters is not a valid call.
std::string ExtractConnectedPeer(const std::vector<std::uint8_t>& message);

// The hostmode command that calls `call` in the robust mode: "C %" and the call
// upper-cased, without a line end. Empty when `call` is invalid.
std::vector<std::uint8_t> BuildRobustConnectCommand(const std::string& call);

// The line that hands the link over to the other station: peer, " de ", own,
// ">" and CR LF, both calls upper-cased. Empty when either call is invalid
// (the own call by NormalizeOwnCall).
std::vector<std::uint8_t> BuildChangeoverPrompt(const std::string& peer, const std::string& own);

}  // namespace cvrk
