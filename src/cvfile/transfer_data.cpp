#include "cvfile/transfer_data.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <new>
#include <stdexcept>
#include <utility>

namespace cvfile {
namespace {

// zlib counts buffer space in uInt (32 bits on every platform we build for),
// so larger buffers are handed over in slices of at most this size.
constexpr std::size_t kMaxSlice = std::numeric_limits<uInt>::max();

// Every deflate match costs at least a 1-bit length code and a 1-bit distance
// code and yields at most 258 bytes: 2 bits per 258 bytes is 1032 bytes per
// input byte. The slack covers rounding and the first literals.
constexpr std::uint64_t kMaxDeflateRatio = 1032;
constexpr std::uint64_t kInflateSlack = 64;

struct InflateStream {
    z_stream s{};
    bool ready = inflateInit(&s) == Z_OK;
    ~InflateStream() {
        if (ready) {
            inflateEnd(&s);
        }
    }
};

// Feeds the next slice of `data` once zlib has used up the previous one.
void RefillInput(z_stream& s, const std::uint8_t* data, std::size_t size, std::size_t& given) {
    if (s.avail_in == 0 && given < size) {
        const std::size_t slice = std::min(size - given, kMaxSlice);
        s.next_in = const_cast<Bytef*>(data + given);
        s.avail_in = static_cast<uInt>(slice);
        given += slice;
    }
}

// Inflates the whole of `data` into all of `out`; true only when the stream
// ends exactly at the last input byte and fills `out` exactly.
bool InflateExactly(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& out) {
    InflateStream z;
    if (!z.ready) {
        return false;
    }
    std::size_t given = 0;
    std::size_t outGiven = 0;
    for (;;) {
        RefillInput(z.s, data, size, given);
        if (z.s.avail_out == 0 && outGiven < out.size()) {
            const std::size_t slice = std::min(out.size() - outGiven, kMaxSlice);
            z.s.next_out = out.data() + outGiven;
            z.s.avail_out = static_cast<uInt>(slice);
            outGiven += slice;
        }
        // Below 4 GiB both buffers are whole and this is the only call.
        const int ret = inflate(&z.s, Z_FINISH);
        const bool inputUsedUp = z.s.avail_in == 0 && given == size;
        const bool outputFull = z.s.avail_out == 0 && outGiven == out.size();
        if (ret == Z_STREAM_END) {
            return inputUsedUp && outputFull;
        }
        if ((ret != Z_OK && ret != Z_BUF_ERROR) || inputUsedUp || outputFull) {
            return false;
        }
    }
}

}  // namespace

EncodedTransferData EncodeTransferData(const std::uint8_t* data, std::size_t size) {
    return EncodeTransferData(data, size, CompressionLimits{});
}

EncodedTransferData EncodeTransferData(const std::uint8_t* data, std::size_t size,
                                       const CompressionLimits& limits) {
    if (data == nullptr && size > 0) {
        throw std::invalid_argument("CVFT transfer input is null");
    }
    EncodedTransferData result;
    if (size == 0) {
        return result;
    }
    try {
        if (auto stream = CompressSmallest(data, size, limits)) {
            result.mode = CompressionMode::Zlib;
            result.bytes = std::move(*stream);
            return result;
        }
        result.bytes.assign(data, data + size);
    } catch (const std::bad_alloc&) {
        throw std::runtime_error("Could not compress binary file");
    }
    return result;
}

std::uint64_t MaxInflatedSize(std::size_t compressedSize) {
    const std::uint64_t n = compressedSize;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    if (n > (kMax - kInflateSlack) / kMaxDeflateRatio) {
        return kMax;
    }
    return n * kMaxDeflateRatio + kInflateSlack;
}

bool DecodeTransferData(CompressionMode mode, const std::uint8_t* data, std::size_t size,
                        std::uint64_t expectedSize, std::vector<std::uint8_t>& output) {
    output.clear();
    if (data == nullptr && size > 0) {
        return false;
    }
    try {
        switch (mode) {
            case CompressionMode::None:
                if (static_cast<std::uint64_t>(size) != expectedSize) {
                    return false;
                }
                output.assign(data, data + size);
                return true;
            case CompressionMode::Zlib:
                if (expectedSize == 0 || size == 0 || expectedSize > MaxInflatedSize(size) ||
                    expectedSize > output.max_size()) {
                    return false;
                }
                output.resize(static_cast<std::size_t>(expectedSize));
                if (InflateExactly(data, size, output)) {
                    return true;
                }
                break;
        }
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    // Give back what a failed attempt may have reserved.
    std::vector<std::uint8_t>().swap(output);
    return false;
}

}  // namespace cvfile
