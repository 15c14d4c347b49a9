#include "cvfile/transfer_data.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <stdexcept>

#include "cvfile/test_bytes.h"

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
using testing::SampleText;

Bytes ZlibCompress(const Bytes& in, int level) {
    uLongf size = compressBound(static_cast<uLong>(in.size()));
    Bytes out(size);
    EXPECT_EQ(compress2(out.data(), &size, in.data(), static_cast<uLong>(in.size()), level), Z_OK);
    out.resize(size);
    return out;
}

TEST(TransferData, ChoosesZlibOnlyWhenItIsSmaller) {
    const Bytes equal(1000, 0x41);
    const EncodedTransferData packed = EncodeTransferData(equal.data(), equal.size());
    EXPECT_EQ(packed.mode, CompressionMode::Zlib);
    EXPECT_LT(packed.bytes.size(), equal.size());

    const Bytes random = RandomBytes(1000, 9);
    const EncodedTransferData plain = EncodeTransferData(random.data(), random.size());
    EXPECT_EQ(plain.mode, CompressionMode::None);
    EXPECT_EQ(plain.bytes, random);

    const EncodedTransferData nothing = EncodeTransferData(nullptr, 0);
    EXPECT_EQ(nothing.mode, CompressionMode::None);
    EXPECT_TRUE(nothing.bytes.empty());
    EXPECT_THROW(EncodeTransferData(nullptr, 1), std::invalid_argument);
}

// Only zlib at level 6 runs.
CompressionLimits Level6Only() {
    CompressionLimits limits;
    limits.timeShare = 0;
    return limits;
}

CompressionLimits NoTimeLimit() {
    CompressionLimits limits;
    limits.timeShare = 1e9;
    return limits;
}

TEST(TransferData, RoundTripsStoredAndCompressedInput) {
    for (const Bytes& input : {Bytes{}, RandomBytes(5000, 4), SampleText(5000)}) {
        SCOPED_TRACE(input.size());
        const EncodedTransferData enc = EncodeTransferData(input.data(), input.size());
        Bytes out{0xEE};
        ASSERT_TRUE(
            DecodeTransferData(enc.mode, enc.bytes.data(), enc.bytes.size(), input.size(), out));
        EXPECT_EQ(out, input);
    }
}

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
        {"short text", SampleText(700), NoTimeLimit(), 1},
        {"text over two parts", SampleText(160000), NoTimeLimit(), kStrongerThanLevel6},
        {"text with a noisy middle", mixed, NoTimeLimit(), 1},
        {"long runs", Bytes(140000, 0x2A), NoTimeLimit(), 1},
        {"text within the default limit", SampleText(30000), CompressionLimits{}, 1},
        {"level 6 only", SampleText(30000), Level6Only(), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const EncodedTransferData enc =
            EncodeTransferData(c.input.data(), c.input.size(), c.limits);
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
    CompressionLimits counting = Level6Only();
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
        CompressionLimits stopping = NoTimeLimit();
        stopping.stopRequested = [&calls, stopAt] { return ++calls == stopAt; };
        EXPECT_THROW(EncodeTransferData(text.data(), 3 << 20, stopping), CompressionStopped);
        EXPECT_EQ(calls, stopAt);
    }
}

TEST(TransferData, DecodesAStreamOfAnyLevel) {
    const Bytes text = SampleText(300000);
    const Bytes foreign = ZlibCompress(text, 9);
    Bytes out;
    EXPECT_TRUE(DecodeTransferData(CompressionMode::Zlib, foreign.data(), foreign.size(),
                                   text.size(), out));
    EXPECT_EQ(out, text);
}

TEST(TransferData, DecodeRefusesAnythingButAnExactStream) {
    const Bytes text = SampleText(20000);
    const Bytes stream = ZlibCompress(text, 6);
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

}  // namespace
}  // namespace cvfile
