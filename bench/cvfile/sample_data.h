#pragma once

// Inputs for the record and compression benchmarks, the same on every run.

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <random>
#include <string_view>
#include <vector>

namespace cvfile::sample {

using Bytes = std::vector<std::uint8_t>;

// Pseudo-random bytes: what deflate cannot shrink.
inline Bytes RandomBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes out(size);
    for (auto& b : out) {
        b = static_cast<std::uint8_t>(rng());
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

}  // namespace cvfile::sample
