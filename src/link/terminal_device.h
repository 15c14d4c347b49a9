#pragma once

#include <string>

namespace corvina {

// True when `path` (symlinks followed) is a character device that a serial
// transport could use: it opens as a terminal, or opening it is refused (the
// transport's own Open then explains why). Opens and closes the device once.
// Always false on Windows, where ports are named, not pathed. Any thread.
bool IsTerminalDevice(const std::string& path);

// True when both paths lead, through symlinks, to the same existing file (a
// /dev/serial/by-id name and the /dev/ttyUSB0 it points to). Always false on
// Windows. Any thread.
bool IsSameDevice(const std::string& a, const std::string& b);

}  // namespace corvina
