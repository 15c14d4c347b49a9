#pragma once

#include <cstdint>
#include <vector>

namespace cvhost {

// FEC broadcast modes, in the order of the window's mode selector.
enum class SirvexFecMode : std::int32_t {
    S1 = 0,    // "#UNPROTO 1"
    S2_S = 1,  // "#UNPROTO 3"
    S2_L = 2,  // "#UNPROTO 7"
};

// The command text that starts an FEC broadcast in `mode`, without terminator.
// Throws std::invalid_argument("unsupported SIRVEX FEC mode") for any value
// outside the three modes. Pure; any thread.
std::vector<std::uint8_t> BuildSirvexFecStartCommand(SirvexFecMode mode);

// Recognises a terminal-mode MY command ("MY", "MYC", ... "MYCALL" in any case,
// then one call sign of 2..8 letters, digits, "-" or "*", blanks or tabs around
// the words). Returns true with the call sign in upper case in `callSign`;
// otherwise returns false with `callSign` empty. Pure; any thread.
bool ExtractTerminalSirvexMycall(const std::vector<std::uint8_t>& command,
                                 std::vector<std::uint8_t>& callSign);

}  // namespace cvhost
