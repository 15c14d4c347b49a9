#include "cvfile/smallest_deflate.h"

#include <chrono>

#include "cvfile/deflate_encoders.h"

namespace cvfile {
namespace {

using Clock = std::chrono::steady_clock;

// libdeflate takes the whole buffer in one uninterruptible call, so it only
// runs where that call stays within the stop-request interval.
constexpr std::size_t kLibdeflateMaxInput = 1 << 20;

}  // namespace

std::optional<std::vector<std::uint8_t>> CompressSmallest(const std::uint8_t* data,
                                                          std::size_t size,
                                                          const CompressionLimits& limits) {
    const auto start = Clock::now();
    std::vector<std::uint8_t> best;
    if (!detail::DeflateLevel6(data, size, size, limits.stopRequested, best)) {
        return std::nullopt;
    }
    const double seconds =
        limits.airBytesPerSecond > 0
            ? limits.timeShare * static_cast<double>(best.size()) / limits.airBytesPerSecond
            : 0;
    auto remaining = [&] {
        return seconds - std::chrono::duration<double>(Clock::now() - start).count();
    };
    auto stopRequested = [&] {
        if (limits.stopRequested && limits.stopRequested()) {
            throw CompressionStopped();
        }
    };

    std::vector<std::uint8_t> candidate;
    if (detail::LibdeflateAvailable() && size <= kLibdeflateMaxInput &&
        detail::LibdeflateSeconds(size) <= remaining()) {
        stopRequested();
        if (detail::DeflateLibdeflate(data, size, best.size(), candidate)) {
            best.swap(candidate);
        }
    }
    if (remaining() > 0 && detail::DeflateZopfli(data, size, best.size(), remaining(),
                                                 limits.stopRequested, candidate)) {
        best.swap(candidate);
    }
    return best;
}

}  // namespace cvfile
