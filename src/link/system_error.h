#pragma once

#include <cstdint>
#include <string>

namespace corvina {

// The system's own text for an error code, in UTF-8: strerror on POSIX (for
// errno values), FormatMessageW on Windows (for Win32 and Winsock codes), with
// trailing CR and LF removed. On Windows a code without a message gives
// "Windows error " and the code in unsigned decimal. Any thread.
std::string SystemErrorText(std::uint32_t code);

// The resolver's text for a getaddrinfo result code. Any thread.
std::string ResolverErrorText(int code);

// The calling thread's last system error code (errno, or GetLastError on
// Windows).
std::uint32_t LastSystemError();

}  // namespace corvina
