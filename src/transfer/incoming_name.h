#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "cvfile/transfer_record.h"

namespace corvina {

// What the receiver shows instead of a name it refuses.
inline constexpr std::string_view kInvalidFileName = "invalid filename";

// Longest file name, in UTF-8 bytes, that a Start record may carry.
inline constexpr std::size_t kMaxFileNameBytes = 1024;

// True when `text` is well-formed UTF-8 (no overlong forms, no encoded
// surrogates, nothing above U+10FFFF).
bool IsWellFormedUtf8(std::string_view text);

// True when `name` would open a device rather than a file on Windows: CON,
// PRN, AUX, NUL, COM1-COM9, LPT1-LPT9 (also with the superscript digits ¹²³),
// CONIN$ or CONOUT$, in any case, alone or followed by an extension or by
// spaces before one ("aux.dat", "nul .txt"). Checked on every platform so that
// a received file can always be copied to Windows.
bool IsWindowsDeviceName(std::string_view name);

// The file name a Start record announces, when the record may start a
// transfer under it: the mode word is None, or Zlib with a non-zero size; the
// payload is 1 to 1,024 bytes of well-formed UTF-8; the name is not "." or
// "..", does not end in '.' or a space, holds no control character and none
// of " * / : < > ? \ |, and is not a Windows device name. Empty otherwise.
std::optional<std::string> AcceptedIncomingName(const cvfile::TransferRecord& start);

}  // namespace corvina
