#include <zlib.h>

#include <algorithm>
#include <stdexcept>

#include "cvfile/deflate_encoders.h"
#include "cvfile/smallest_deflate.h"

namespace cvfile::detail {
namespace {

// The stream every copy of the program has always produced.
constexpr int kLevel = 6;
constexpr int kWindowBits = 15;  // 32 KiB window, zlib wrapper
constexpr int kMemLevel = 8;

// Input is handed over a MiB at a time so that a stop request is seen soon.
constexpr std::size_t kInputSlice = 1 << 20;

// First guess for the compressed buffer; it doubles as needed. zlib counts
// output space in uInt, so it is handed over in slices below 4 GiB.
constexpr std::size_t kMinInitialOutput = 64 * 1024;
constexpr std::size_t kMaxOutputSlice = 1u << 30;

struct DeflateStream {
    z_stream s{};
    DeflateStream() {
        if (deflateInit2(&s, kLevel, Z_DEFLATED, kWindowBits, kMemLevel, Z_DEFAULT_STRATEGY) !=
            Z_OK) {
            throw std::runtime_error("Could not compress binary file");
        }
    }
    ~DeflateStream() { deflateEnd(&s); }
    DeflateStream(const DeflateStream&) = delete;
    DeflateStream& operator=(const DeflateStream&) = delete;
};

}  // namespace

bool DeflateLevel6(const std::uint8_t* data, std::size_t size, std::size_t limit,
                   const StopCheck& stop, std::vector<std::uint8_t>& out) {
    const std::size_t room = limit - 1;  // longest stream that is still shorter
    if (limit == 0 || room == 0) {
        return false;
    }
    DeflateStream z;
    out.resize(std::min(room, std::max(size / 4, kMinInitialOutput)));
    std::size_t given = 0;
    std::size_t produced = 0;
    for (;;) {
        if (z.s.avail_in == 0 && given < size) {
            if (stop && stop()) {
                throw CompressionStopped();
            }
            const std::size_t slice = std::min(size - given, kInputSlice);
            z.s.next_in = const_cast<Bytef*>(data + given);
            z.s.avail_in = static_cast<uInt>(slice);
            given += slice;
        }
        if (z.s.avail_out == 0) {
            if (produced == room) {
                return false;
            }
            if (produced == out.size()) {
                out.resize(std::min(room, out.size() * 2));
            }
            z.s.next_out = out.data() + produced;
            z.s.avail_out = static_cast<uInt>(std::min(out.size() - produced, kMaxOutputSlice));
        }
        const uInt before = z.s.avail_out;
        const int ret = deflate(&z.s, given == size ? Z_FINISH : Z_NO_FLUSH);
        produced += before - z.s.avail_out;
        if (ret == Z_STREAM_END) {
            out.resize(produced);
            return true;
        }
        if (ret != Z_OK && ret != Z_BUF_ERROR) {
            throw std::runtime_error("Could not compress binary file");
        }
    }
}

}  // namespace cvfile::detail
