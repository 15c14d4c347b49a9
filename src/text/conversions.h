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

// UTF-8 decoded to UTF-16. Each maximal ill-formed subsequence becomes one
// U+FFFD; overlong forms, encoded surrogates and code points above U+10FFFF are
// ill-formed. Valid input comes back unchanged through WideToUtf8.
std::u16string Utf8ToWide(std::string_view text);

// UTF-16 encoded as UTF-8. An unpaired surrogate becomes U+FFFD.
std::string WideToUtf8(std::u16string_view text);

// Window text to the bytes sent to the modem: CR LF and lone LF become CR, then
// every character is encoded as Windows-1252; characters without a byte there
// become "?" (one for a surrogate pair, one for each unpaired surrogate). No
// best-fit substitutes: what the modem sends is either exact or "?".
std::vector<std::uint8_t> WideToModemBytes(std::u16string_view text);

}  // namespace corvina
