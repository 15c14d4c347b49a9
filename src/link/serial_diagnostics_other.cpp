#include "link/serial_diagnostics.h"

namespace corvina {

// Neither the process table nor the adapter's timer is readable this way
// outside Linux.
std::string SerialPortHolder(const std::string&, const std::filesystem::path&) {
    return {};
}

std::string SerialLatencyHint(const std::string&, const std::filesystem::path&) {
    return {};
}

}  // namespace corvina
