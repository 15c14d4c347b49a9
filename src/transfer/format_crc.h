#pragma once

#include <cstdint>
#include <string>

namespace corvina {

// A CRC-32 as the operator sees it: always eight upper-case hexadecimal
// digits, leading zeros kept. Pure; any thread.
std::string FormatCrc32(std::uint32_t value);

}  // namespace corvina
