#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string_view>
#include <vector>

namespace cvfile::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes BytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// Deterministic pseudo-random bytes; with `nonZero` no byte is 0x00.
inline Bytes RandomBytes(std::size_t size, std::uint32_t seed, bool nonZero = false) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> byte(nonZero ? 1 : 0, 255);
    Bytes out(size);
    for (auto& b : out) {
        b = static_cast<std::uint8_t>(byte(rng));
    }
    return out;
}

}  // namespace cvfile::testing
