// Input: expectedSize (8 bytes, little-endian), mode (1 byte), transfer data.
// Decoding must never exceed the inflate bound or return a wrong size, and
// the data itself must round-trip through EncodeTransferData.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "cvfile/transfer_data.h"

namespace {
constexpr std::size_t kSizeField = 8;
constexpr std::size_t kHeader = kSizeField + 1;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kHeader) {
        return 0;
    }
    std::uint64_t expectedSize = 0;
    for (std::size_t i = 0; i < kSizeField; ++i) {
        expectedSize |= std::uint64_t{data[i]} << (8 * i);
    }
    const auto mode = static_cast<cvfile::CompressionMode>(data[kSizeField] % 4);
    const std::uint8_t* body = data + kHeader;
    const std::size_t bodySize = size - kHeader;

    std::vector<std::uint8_t> out;
    if (cvfile::DecodeTransferData(mode, body, bodySize, expectedSize, out)) {
        if (out.size() != expectedSize || expectedSize > cvfile::MaxInflatedSize(bodySize)) {
            std::abort();
        }
    } else if (!out.empty()) {
        std::abort();
    }

    const auto enc = cvfile::EncodeTransferData(body, bodySize);
    std::vector<std::uint8_t> back;
    if (!cvfile::DecodeTransferData(enc.mode, enc.bytes.data(), enc.bytes.size(), bodySize, back) ||
        back != std::vector<std::uint8_t>(body, body + bodySize)) {
        std::abort();
    }
    return 0;
}
