#include "cvfile/deflate_encoders.h"

#if CORVINA_HAVE_LIBDEFLATE
#include <libdeflate.h>

#include <memory>
#endif

namespace cvfile::detail {

#if CORVINA_HAVE_LIBDEFLATE

namespace {

constexpr int kStrongestLevel = 12;
// About 0.2 µs a byte of text on a 2020s desktop core; twice that for margin.
constexpr double kSecondsPerByte = 0.4e-6;

struct FreeCompressor {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

}  // namespace

bool LibdeflateAvailable() {
    return true;
}

double LibdeflateSeconds(std::size_t size) {
    return static_cast<double>(size) * kSecondsPerByte;
}

bool DeflateLibdeflate(const std::uint8_t* data, std::size_t size, std::size_t limit,
                       std::vector<std::uint8_t>& out) {
    if (limit < 2) {
        return false;
    }
    const std::unique_ptr<libdeflate_compressor, FreeCompressor> compressor(
        libdeflate_alloc_compressor(kStrongestLevel));
    if (!compressor) {
        return false;
    }
    out.resize(limit - 1);
    // 0 means the stream did not fit in `limit - 1` bytes.
    const std::size_t written =
        libdeflate_zlib_compress(compressor.get(), data, size, out.data(), out.size());
    out.resize(written);
    return written > 0;
}

#else

bool LibdeflateAvailable() {
    return false;
}

double LibdeflateSeconds(std::size_t) {
    return 0;
}

bool DeflateLibdeflate(const std::uint8_t*, std::size_t, std::size_t, std::vector<std::uint8_t>&) {
    return false;
}

#endif

}  // namespace cvfile::detail
