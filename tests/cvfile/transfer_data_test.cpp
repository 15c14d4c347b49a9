#include "cvfile/transfer_data.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <new>
#include <random>
#include <stdexcept>
#include <string_view>

#include "cvfile/test_bytes.h"

// Every allocation through operator new in this program is recorded, so that
// the tests see what the decoder asked for.
namespace {
std::atomic<std::size_t> largestRequest{0};
}  // namespace

void* operator new(std::size_t size) {
    std::size_t seen = largestRequest.load();
    while (size > seen && !largestRequest.compare_exchange_weak(seen, size)) {
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace cvfile {
namespace {

// Without zopfli (the Windows builds) the sender's stream is zlib's level 6.
#ifdef CORVINA_HAVE_ZOPFLI
constexpr double kStrongerThanLevel6 = 0.99;
#else
constexpr double kStrongerThanLevel6 = 1;
#endif

using testing::Bytes;
using testing::RandomBytes;

// English-like text that deflate shrinks to roughly a third.
Bytes SampleText(std::size_t size) {
    static constexpr std::string_view kWords[] = {
        "the ",  "modem ", "link ",       "station ",   "calls ", "a ",
        "file ", "over ",  "noisy ",      "shortwave ", "and ",   "waits ",
        "for ",  "an ",    "answer.\r\n", "Signal ",    "fades ", "again ",
    };
    std::mt19937 rng(7);
    Bytes out;
    while (out.size() < size) {
        const auto word = kWords[rng() % std::size(kWords)];
        out.insert(out.end(), word.begin(), word.end());
    }
    out.resize(size);
    return out;
}

Bytes ZlibCompress(const Bytes& in, int level) {
    uLongf size = compressBound(static_cast<uLong>(in.size()));
    Bytes out(size);
    EXPECT_EQ(compress2(out.data(), &size, in.data(), static_cast<uLong>(in.size()), level), Z_OK);
    out.resize(size);
    return out;
}

TEST(TransferData, ChoosesZlibOnlyWhenItIsSmaller) {
    const Bytes equal(1000, 0x41);
    const auto packed = EncodeTransferData(equal.data(), equal.size());
    EXPECT_EQ(packed.mode, CompressionMode::Zlib);
    EXPECT_LT(packed.bytes.size(), equal.size());

    const Bytes random = RandomBytes(1000, 9);
    const auto plain = EncodeTransferData(random.data(), random.size());
    EXPECT_EQ(plain.mode, CompressionMode::None);
    EXPECT_EQ(plain.bytes, random);
    const auto one = EncodeTransferData(random.data(), 1);
    EXPECT_EQ(one.mode, CompressionMode::None);
    EXPECT_EQ(one.bytes, Bytes{random[0]});

    const auto nothing = EncodeTransferData(nullptr, 0);
    EXPECT_EQ(nothing.mode, CompressionMode::None);
    EXPECT_TRUE(nothing.bytes.empty());
    Bytes out{0xEE};
    EXPECT_TRUE(DecodeTransferData(CompressionMode::None, nullptr, 0, 0, out));
    EXPECT_TRUE(out.empty());
    EXPECT_THROW(EncodeTransferData(nullptr, 1), std::invalid_argument);
}

// Only zlib at level 6 runs, or every encoder as long as it likes.
const CompressionLimits kLevel6Only{{}, kReferenceAirRate, 0};
const CompressionLimits kNoTimeLimit{{}, kReferenceAirRate, 1e9};

// Whatever encoder wins, plain zlib must read the stream, and it may never be
// longer than zlib's own level 6.
TEST(TransferData, StrongestStreamInflatesWithZlibAndBeatsLevelSix) {
    Bytes mixed = SampleText(60000);
    const Bytes noise = RandomBytes(20000, 5);
    mixed.insert(mixed.begin() + 30000, noise.begin(), noise.end());
    struct Case {
        const char* name;
        Bytes input;
        CompressionLimits limits;
        double mostOfLevel6;
    } cases[] = {
        {"short text", SampleText(700), kNoTimeLimit, 1},
        {"text over two parts", SampleText(160000), kNoTimeLimit, kStrongerThanLevel6},
        {"text with a noisy middle", mixed, kNoTimeLimit, 1},
        {"long runs", Bytes(140000, 0x2A), kNoTimeLimit, 1},
        {"text within the default limit", SampleText(30000), CompressionLimits{}, 1},
        {"level 6 only", SampleText(30000), kLevel6Only, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto enc = EncodeTransferData(c.input.data(), c.input.size(), c.limits);
        ASSERT_EQ(enc.mode, CompressionMode::Zlib);
        EXPECT_LE(enc.bytes.size(), ZlibCompress(c.input, 6).size() * c.mostOfLevel6);
        uLongf size = static_cast<uLongf>(c.input.size());
        Bytes back(size);
        ASSERT_EQ(
            uncompress(back.data(), &size, enc.bytes.data(), static_cast<uLong>(enc.bytes.size())),
            Z_OK);
        EXPECT_EQ(back, c.input);
    }
}

// A stop request is asked at least once per MiB and ends the compression at
// once, whichever encoder is running when it comes.
TEST(TransferData, StopRequestEndsCompression) {
    const Bytes text = SampleText(4 << 20);
    int asked = 0;
    CompressionLimits counting = kLevel6Only;
    counting.stopRequested = [&asked] {
        ++asked;
        return false;
    };
    EXPECT_EQ(EncodeTransferData(text.data(), text.size(), counting).mode, CompressionMode::Zlib);
    EXPECT_GE(asked, 4);

    // Stops 4 and later come while zopfli runs, where it is built in.
    const std::vector<int> stops =
        kStrongerThanLevel6 < 1 ? std::vector<int>{1, 3, 5} : std::vector<int>{1, 3};
    for (const int stopAt : stops) {
        SCOPED_TRACE(stopAt);
        int calls = 0;
        CompressionLimits stopping = kNoTimeLimit;
        stopping.stopRequested = [&calls, stopAt] { return ++calls == stopAt; };
        EXPECT_THROW(EncodeTransferData(text.data(), 3 << 20, stopping), CompressionStopped);
        EXPECT_EQ(calls, stopAt);
    }
}

TEST(TransferData, DecodesAnExactStreamOfAnyLevelAndNothingElse) {
    const Bytes text = SampleText(20000);
    const Bytes stream = ZlibCompress(text, 6);
    const Bytes level9 = ZlibCompress(text, 9);
    Bytes decoded;
    EXPECT_TRUE(DecodeTransferData(CompressionMode::Zlib, level9.data(), level9.size(), text.size(),
                                   decoded));
    EXPECT_EQ(decoded, text);

    Bytes appended = stream;
    appended.push_back(0x00);
    const Bytes truncated(stream.begin(), stream.end() - 1);
    Bytes badTrailer = stream;
    badTrailer.back() ^= 0x01;
    const auto zlib = CompressionMode::Zlib;
    struct Case {
        const char* name;
        CompressionMode mode;
        Bytes data;
        std::uint64_t expectedSize;
    } cases[] = {
        {"size one short", zlib, stream, text.size() - 1},
        {"size one over", zlib, stream, text.size() + 1},
        {"byte appended", zlib, appended, text.size()},
        {"last byte missing", zlib, truncated, text.size()},
        {"checksum broken", zlib, badTrailer, text.size()},
        {"expected size zero", zlib, stream, 0},
        {"no data", zlib, {}, text.size()},
        {"not a stream", zlib, text, text.size()},
        {"undefined mode 1", static_cast<CompressionMode>(1), stream, text.size()},
        {"undefined mode 3", static_cast<CompressionMode>(3), text, text.size()},
        {"plain size mismatch", CompressionMode::None, text, text.size() + 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes out{0xEE};
        EXPECT_FALSE(DecodeTransferData(c.mode, c.data.data(), c.data.size(), c.expectedSize, out));
        EXPECT_TRUE(out.empty());
    }
    Bytes out;
    EXPECT_FALSE(DecodeTransferData(CompressionMode::None, nullptr, 4, 4, out));
}

// Largest single allocation made while decoding, and the verdict.
std::pair<std::size_t, bool> DecodeWatched(const Bytes& stream, std::uint64_t expectedSize) {
    Bytes out;
    out.reserve(1);
    largestRequest = 0;
    const bool ok =
        DecodeTransferData(CompressionMode::Zlib, stream.data(), stream.size(), expectedSize, out);
    return {largestRequest.load(), ok};
}

// A peer's announced size must not make the decoder reserve memory the
// compressed data could never fill.
TEST(InflateBound, SizesBeyondWhatTheStreamCanHoldAreRefusedBeforeAllocating) {
    // Runs of zeros are what deflate squeezes hardest (close to 1032:1).
    const Bytes zeros(16 << 20, 0x00);
    const EncodedTransferData enc = EncodeTransferData(zeros.data(), zeros.size());
    ASSERT_EQ(enc.mode, CompressionMode::Zlib);
    const std::uint64_t bound = MaxInflatedSize(enc.bytes.size());
    ASSERT_GE(bound, zeros.size());
    EXPECT_LT(bound, zeros.size() + zeros.size() / 50) << "bound is far looser than deflate";
    for (std::uint64_t expected :
         {bound + 1, std::uint64_t{1} << 40, std::numeric_limits<std::uint64_t>::max()}) {
        const auto [largest, ok] = DecodeWatched(enc.bytes, expected);
        EXPECT_FALSE(ok) << expected;
        EXPECT_LT(largest, zeros.size()) << expected;
    }
    const auto [largestExact, okExact] = DecodeWatched(enc.bytes, zeros.size());
    EXPECT_TRUE(okExact);
    EXPECT_GE(largestExact, zeros.size());
    // Wrong size, but not refusable up front: the decoder must try and fail.
    const auto [largestAtBound, okAtBound] = DecodeWatched(enc.bytes, bound);
    EXPECT_FALSE(okAtBound);
    EXPECT_GE(largestAtBound, bound);

    EXPECT_EQ(MaxInflatedSize(std::numeric_limits<std::size_t>::max()),
              std::numeric_limits<std::uint64_t>::max());
}

}  // namespace
}  // namespace cvfile
