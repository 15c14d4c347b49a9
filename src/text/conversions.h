#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvina {

// Conversions between the window's UTF-16 text, the modem's Windows-1252 bytes
// and the UTF-8 of messages. Pure; any thread may call them.

// Bytes from the modem decoded as Windows-1252.
std::u16string BytesToWide(const std::vector<std::uint8_t>& bytes);

// UTF-8 decoded to UTF-16. Invalid sequences become U+FFFD, one per maximal
// ill-formed subsequence, as the common platform converters do.
std::u16string Utf8ToWide(std::string_view text);

// UTF-16 encoded as UTF-8. An unpaired surrogate becomes U+FFFD.
std::string WideToUtf8(std::u16string_view text);

// Window text to the bytes sent to the modem: CR LF and lone LF become CR, then
// every character is encoded as Windows-1252; characters without a byte there
// become "?".
std::vector<std::uint8_t> WideToModemBytes(std::u16string_view text);

}  // namespace corvina
