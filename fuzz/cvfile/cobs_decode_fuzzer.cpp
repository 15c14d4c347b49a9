// Decodes arbitrary bytes as COBS; whatever decodes must survive a fresh
// encode/decode unchanged, and any input must round-trip through the encoder.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "cvfile/cobs.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> decoded;
    if (cvfile::CobsDecode(data, size, decoded)) {
        const auto again = cvfile::CobsEncode(decoded.data(), decoded.size());
        std::vector<std::uint8_t> back;
        if (!cvfile::CobsDecode(again.data(), again.size(), back) || back != decoded) {
            std::abort();
        }
    } else if (!decoded.empty()) {
        std::abort();
    }
    const auto encoded = cvfile::CobsEncode(data, size);
    std::vector<std::uint8_t> plain;
    if (encoded.size() > size + size / 254 + 1 ||
        !cvfile::CobsDecode(encoded.data(), encoded.size(), plain) ||
        plain != std::vector<std::uint8_t>(data, data + size)) {
        std::abort();
    }
    return 0;
}
