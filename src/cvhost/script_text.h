#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Text helpers of the command-script parser and the link choice. Internal to
// cvhost: other modules must not include this header. ASCII only; pure.

namespace cvhost {

// `text` without leading and trailing spaces and tabs. Views into `text`.
std::string_view TrimBlanks(std::string_view text);

// `text` with A..Z turned into a..z; every other byte unchanged.
std::string ToLowerAscii(std::string_view text);

// Same length and equal when A..Z and a..z are not told apart.
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);

// Reads a non-empty run of the digits 0..9 (no sign, no blanks) that fits in 32
// bits. Returns false, leaving `value` untouched, for anything else.
bool ParseUnsigned(std::string_view digits, std::uint32_t& value);

// True for a name that stands for an absolute device path: it starts with "/".
bool IsDevicePathName(std::string_view name);

}  // namespace cvhost
