#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "cvfile/smallest_deflate.h"

namespace cvfile {

// How the bytes carried in Data records relate to the file (32-bit on the
// wire, in the Start record's sequence word). Value 1 is not defined.
enum class CompressionMode : std::uint32_t {
    None = 0,  // the file bytes unchanged
    Zlib = 2,  // deflate with a 32 KiB window, zlib header and Adler-32 trailer
};

// The transfer data of one file and how to undo it.
struct EncodedTransferData {
    CompressionMode mode = CompressionMode::None;
    std::vector<std::uint8_t> bytes;
};

// Compresses a whole file held in memory into the smallest zlib stream
// CompressSmallest finds within `limits` and keeps it only when it is strictly
// shorter than the input; otherwise returns mode None with a copy of the
// input. An empty input gives None with no bytes. Throws std::invalid_argument
// ("CVFT transfer input is null") for a null `data` with `size` > 0,
// CompressionStopped when `limits` asked to stop, and std::runtime_error
// ("Could not compress binary file") when the compressor cannot run (for
// example out of memory). Any thread. The first form uses the default limits.
EncodedTransferData EncodeTransferData(const std::uint8_t* data, std::size_t size);
EncodedTransferData EncodeTransferData(const std::uint8_t* data, std::size_t size,
                                       const CompressionLimits& limits);

// The largest size that `compressedSize` bytes of zlib stream can inflate to,
// with margin: deflate spends at least two bits on a 258-byte match, so no
// stream expands by more than 1032:1.
std::uint64_t MaxInflatedSize(std::size_t compressedSize);

// Undoes EncodeTransferData for transfer data received from a peer. `output`
// is cleared first and holds exactly `expectedSize` bytes on success.
// None: succeeds when `size` equals `expectedSize` and copies the data.
// Zlib: succeeds only when the stream is complete, every input byte was
// consumed and exactly `expectedSize` bytes came out; `expectedSize` and
// `size` must both be non-zero. An `expectedSize` above
// MaxInflatedSize(size) is refused before anything is allocated, so a peer
// cannot make the receiver reserve memory the data cannot fill.
// Any other mode, a null `data` with `size` > 0, or a failed allocation
// returns false with `output` empty. Never throws. Any thread.
bool DecodeTransferData(CompressionMode mode, const std::uint8_t* data, std::size_t size,
                        std::uint64_t expectedSize, std::vector<std::uint8_t>& output);

}  // namespace cvfile
