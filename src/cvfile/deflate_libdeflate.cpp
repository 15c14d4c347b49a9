#include "cvfile/deflate_encoders.h"

#if CORVINA_HAVE_LIBDEFLATE
#include <libdeflate.h>

#include <memory>
#endif

namespace cvfile::detail {

#if CORVINA_HAVE_LIBDEFLATE

namespace {

constexpr int kStrongestLevel = 12;
// About 0.2 µs a byte of text on one 2.6 GHz server core; twice that for margin.
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
    // libdeflate wants room beyond the stream it writes, so it gets its
    // worst case and the length is judged afterwards.
    out.resize(libdeflate_zlib_compress_bound(compressor.get(), size));
    const std::size_t written =
        libdeflate_zlib_compress(compressor.get(), data, size, out.data(), out.size());
    out.resize(written);
    return written > 0 && written < limit;
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
