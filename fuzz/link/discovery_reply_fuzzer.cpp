// Parses arbitrary datagrams as discovery replies and checks the promises of
// the parser: only long enough "DSCV" datagrams are accepted, and the name
// is short, NUL-free and without trailing blanks.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "link/discovery_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto modem = corvina::ParseDiscoveryReply(data, size, "192.0.2.1");
    const bool valid = size >= corvina::kDiscoveryMinimumReply &&
                       std::memcmp(data, corvina::kDiscoveryMagic, 4) == 0;
    if (modem.has_value() != valid) {
        std::abort();
    }
    if (modem) {
        const std::string& name = modem->modemName;
        if (name.size() > corvina::kDiscoveryNameBytes || name.find('\0') != std::string::npos ||
            (!name.empty() && name.back() == ' ') || modem->address != "192.0.2.1") {
            std::abort();
        }
        if (corvina::DiscoveryLabel(*modem).empty()) {
            std::abort();
        }
    }
    return 0;
}
