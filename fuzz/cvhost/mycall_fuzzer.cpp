// Runs the MY-command recogniser on arbitrary commands; an accepted call sign
// must be 2..8 upper-case letters, digits, "-" or "*", and a refusal must leave
// the output empty.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "cvhost/sirvex_commands.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> command(data, data + size);
    std::vector<std::uint8_t> callSign = {'x'};
    if (!cvhost::ExtractTerminalSirvexMycall(command, callSign)) {
        if (!callSign.empty()) {
            std::abort();
        }
        return 0;
    }
    if (callSign.size() < 2 || callSign.size() > 8) {
        std::abort();
    }
    for (std::uint8_t c : callSign) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '*';
        if (!ok) {
            std::abort();
        }
    }
    return 0;
}
