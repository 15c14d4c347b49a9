// Checks that a peer's announced size cannot make the decoder reserve memory
// the compressed data could never fill. Every allocation through operator new
// in this program is recorded, so the tests see what was asked for.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <limits>
#include <new>

#include "cvfile/test_bytes.h"
#include "cvfile/transfer_data.h"

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

using testing::Bytes;

// Largest single allocation made while decoding, and the verdict.
std::pair<std::size_t, bool> Decode(const Bytes& stream, std::uint64_t expectedSize) {
    Bytes out;
    out.reserve(1);
    largestRequest = 0;
    const bool ok =
        DecodeTransferData(CompressionMode::Zlib, stream.data(), stream.size(), expectedSize, out);
    return {largestRequest.load(), ok};
}

TEST(InflateBound, SizesBeyondWhatTheStreamCanHoldAreRefusedBeforeAllocating) {
    const Bytes zeros(100000, 0x00);
    const EncodedTransferData enc = EncodeTransferData(zeros.data(), zeros.size());
    ASSERT_EQ(enc.mode, CompressionMode::Zlib);
    const std::uint64_t bound = MaxInflatedSize(enc.bytes.size());
    for (std::uint64_t expected :
         {bound + 1, std::uint64_t{1} << 40, std::numeric_limits<std::uint64_t>::max()}) {
        SCOPED_TRACE(expected);
        const auto [largest, ok] = Decode(enc.bytes, expected);
        EXPECT_FALSE(ok);
        EXPECT_LT(largest, zeros.size());
    }
}

TEST(InflateBound, SizeAtTheBoundIsAttemptedAndTheDensestStreamDecodes) {
    // Runs of zeros are what deflate squeezes hardest (close to 1032:1).
    const Bytes zeros(16 << 20, 0x00);
    const EncodedTransferData enc = EncodeTransferData(zeros.data(), zeros.size());
    ASSERT_EQ(enc.mode, CompressionMode::Zlib);
    const std::uint64_t bound = MaxInflatedSize(enc.bytes.size());
    ASSERT_GE(bound, zeros.size());
    EXPECT_LT(bound, zeros.size() + zeros.size() / 50) << "bound is far looser than deflate";

    const auto [largestExact, okExact] = Decode(enc.bytes, zeros.size());
    EXPECT_TRUE(okExact);
    EXPECT_GE(largestExact, zeros.size());

    // Wrong size, but not refusable up front: the decoder must try and fail.
    const auto [largestAtBound, okAtBound] = Decode(enc.bytes, bound);
    EXPECT_FALSE(okAtBound);
    EXPECT_GE(largestAtBound, bound);
}

TEST(InflateBound, BoundSaturatesInsteadOfWrapping) {
    EXPECT_EQ(MaxInflatedSize(std::numeric_limits<std::size_t>::max()),
              std::numeric_limits<std::uint64_t>::max());
}

}  // namespace
}  // namespace cvfile
