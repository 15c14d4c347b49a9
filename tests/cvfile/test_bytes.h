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

// English-like text that deflate shrinks to roughly a third.
inline Bytes SampleText(std::size_t size) {
    static constexpr std::string_view kWords[] = {
        "the ",  "modem ", "link ",       "station ",   "calls ", "a ",
        "file ", "over ",  "noisy ",      "shortwave ", "and ",   "waits ",
        "for ",  "an ",    "answer.\r\n", "Signal ",    "fades ", "again ",
    };
    std::mt19937 rng(7);
    Bytes out;
    out.reserve(size + 16);
    while (out.size() < size) {
        const auto word = kWords[rng() % std::size(kWords)];
        out.insert(out.end(), word.begin(), word.end());
    }
    out.resize(size);
    return out;
}

}  // namespace cvfile::testing
