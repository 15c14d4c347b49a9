#include "cvfile/deflate_encoders.h"

#if CORVINA_HAVE_ZOPFLI
#include <zlib.h>
#include <zopfli/deflate.h>
#include <zopfli/zopfli.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>

#include "cvfile/smallest_deflate.h"
#endif

namespace cvfile::detail {

#if CORVINA_HAVE_ZOPFLI

namespace {

using Clock = std::chrono::steady_clock;

// Each part is one call into zopfli, which cannot be interrupted, so the part
// bounds how long a stop request waits. Earlier parts still serve as the
// window of later ones; only the block boundary at each part costs a little
// (one or two tenths of a percent against zopfli's own 1 MB master blocks).
constexpr std::size_t kPartSize = 128 * 1024;

// Iteration counts tried, best first: 15 is zopfli's own default, and 5 or
// 1 give up only a few tenths of a percent.
constexpr int kIterationChoices[] = {15, 5, 1};

// Cost model of one call, measured on text on one 2.6 GHz server core: block
// splitting costs up to about 0.1 s a part whatever its size, the parse about
// 0.75 µs a byte plus 0.12 µs a byte per iteration. Before the first part the
// model is trusted only with kFirstPartMargin; afterwards with the slowness
// observed so far times kObservedMargin, which also lets faster machines use
// more iterations.
constexpr double kSecondsPerPart = 0.1;
constexpr double kSecondsPerByte = 0.75e-6;
constexpr double kSecondsPerByteIteration = 0.12e-6;
constexpr double kFirstPartMargin = 2.0;
constexpr double kObservedMargin = 1.25;

// RFC 1950 header: deflate with a 32 KiB window, "maximum compression" level
// flag, check bits making the pair a multiple of 31.
constexpr std::uint8_t kZlibHeader[] = {0x78, 0xDA};

double PredictedSeconds(std::size_t bytes, int iterations) {
    const double parts = static_cast<double>((bytes + kPartSize - 1) / kPartSize);
    return parts * kSecondsPerPart +
           static_cast<double>(bytes) * (kSecondsPerByte + iterations * kSecondsPerByteIteration);
}

struct FreeBuffer {
    void operator()(unsigned char* p) const { std::free(p); }
};

void AppendBigEndian32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

}  // namespace

bool DeflateZopfli(const std::uint8_t* data, std::size_t size, std::size_t limit, double seconds,
                   const StopCheck& stop, std::vector<std::uint8_t>& out) {
    if (size == 0) {
        return false;
    }
    const auto start = Clock::now();
    out.assign(std::begin(kZlibHeader), std::end(kZlibHeader));
    double slowness = kFirstPartMargin;
    double predictedSpent = 0;
    unsigned char bitPosition = 0;  // bits of out.back() already used, 0 when none are
    for (std::size_t begin = 0; begin < size;) {
        if (stop && stop()) {
            throw CompressionStopped();
        }
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        int iterations = 0;
        for (const int choice : kIterationChoices) {
            if (PredictedSeconds(size - begin, choice) * slowness <= seconds - elapsed) {
                iterations = choice;
                break;
            }
        }
        if (iterations == 0) {
            return false;
        }
        ZopfliOptions options;
        ZopfliInitOptions(&options);
        options.numiterations = iterations;

        const std::size_t end = std::min(size, begin + kPartSize);
        // zopfli appends to a malloc'd buffer and ORs the next bits into its
        // last byte, so the unfinished byte moves over to it.
        unsigned char* raw = nullptr;
        std::size_t rawSize = 0;
        if (bitPosition != 0) {
            raw = static_cast<unsigned char*>(std::malloc(1));
            if (raw == nullptr) {
                throw std::bad_alloc();
            }
            raw[0] = out.back();
            out.pop_back();
            rawSize = 1;
        }
        ZopfliDeflatePart(&options, 2, end == size ? 1 : 0, data, begin, end, &bitPosition, &raw,
                          &rawSize);
        const std::unique_ptr<unsigned char, FreeBuffer> part(raw);
        out.insert(out.end(), part.get(), part.get() + rawSize);

        predictedSpent += PredictedSeconds(end - begin, iterations);
        const double spent = std::chrono::duration<double>(Clock::now() - start).count();
        slowness = kObservedMargin * spent / predictedSpent;
        begin = end;
        if (out.size() + 4 >= limit) {
            return false;
        }
    }
    AppendBigEndian32(out,
                      static_cast<std::uint32_t>(adler32_z(adler32_z(0, nullptr, 0), data, size)));
    return out.size() < limit;
}

#else

bool DeflateZopfli(const std::uint8_t*, std::size_t, std::size_t, double, const StopCheck&,
                   std::vector<std::uint8_t>&) {
    return false;
}

#endif

}  // namespace cvfile::detail
