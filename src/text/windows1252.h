#pragma once

#include <cstdint>
#include <optional>

namespace corvina {

// The Windows-1252 code page, from our own table. Every byte decodes to one
// UTF-16 code unit; the five bytes the code page leaves unassigned (0x81, 0x8D,
// 0x8F, 0x90, 0x9D) decode to the C1 control character of the same value, so
// decoding never fails and encoding the result gives the byte back.

// The UTF-16 code unit of `byte`.
char16_t Windows1252ToUnicode(std::uint8_t byte);

// The byte of `unit`, or nothing when the code page has no byte for it.
std::optional<std::uint8_t> UnicodeToWindows1252(char16_t unit);

}  // namespace corvina
