#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

namespace cvfile {

// Every byte on a shortwave link costs airtime, so a sender spends CPU on the
// smallest stream it can find, within a share of the time the file will need
// on air. The stream is always RFC 1950 (zlib header, deflate with a 32 KiB
// window, Adler-32 trailer), so any inflate reads it.

// The slowest air rate the time limit is reckoned at, in bytes per second.
inline constexpr double kReferenceAirRate = 1400;
// Share of the compressed data's time on air that compression may take.
inline constexpr double kCompressionTimeShare = 0.05;

struct CompressionLimits {
    // Asked before every step, at least once per MiB of input; true stops the
    // compression with CompressionStopped. Empty: never stops. Called on the
    // compressing thread.
    std::function<bool()> stopRequested;
    // Compression ends, keeping the best stream found so far, once it has
    // taken `timeShare` of the time the level-6 stream would need on air at
    // `airBytesPerSecond`. 0 allows only the level-6 encoder.
    double airBytesPerSecond = kReferenceAirRate;
    double timeShare = kCompressionTimeShare;
};

// Thrown when CompressionLimits::stopRequested asked to stop; its text is the
// one the operator sees for a send abandoned while it was being built.
class CompressionStopped : public std::runtime_error {
  public:
    CompressionStopped() : std::runtime_error("binary transfer cancelled") {}
};

// The shortest zlib stream found for `data` (zlib at level 6, then stronger
// encoders as time allows), or nullopt when none is strictly shorter than
// `size`: data that level 6 cannot shrink at all is not tried further. Never
// longer than zlib's level-6 stream. Throws CompressionStopped, and
// std::runtime_error or std::bad_alloc when an encoder cannot run. Any
// thread; `data` must stay valid and unchanged during the call.
std::optional<std::vector<std::uint8_t>> CompressSmallest(const std::uint8_t* data,
                                                          std::size_t size,
                                                          const CompressionLimits& limits);

}  // namespace cvfile
