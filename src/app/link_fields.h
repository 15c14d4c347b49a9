#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace corvina {

// The operator's hostmode channel from the channel box: a decimal number 1..31
// filling the whole text. Nothing for anything else ("4 ", "", "0", "32").
std::optional<std::uint8_t> ParseHostmodeChannel(std::u16string_view text);

// The Telnet port from the port box: leading white space and a plus sign are
// allowed, then decimal digits up to the end, 1..65535.
std::optional<std::uint16_t> ParseTelnetPort(std::u16string_view text);

}  // namespace corvina
