#include "link/terminal_device.h"

namespace corvina {

bool IsTerminalDevice(const std::string&) {
    return false;
}

bool IsSameDevice(const std::string&, const std::string&) {
    return false;
}

}  // namespace corvina
