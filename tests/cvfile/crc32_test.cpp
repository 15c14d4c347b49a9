#include "cvfile/crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <stdexcept>

#include "cvfile/test_bytes.h"

namespace cvfile {
namespace {

using testing::Bytes;
using testing::BytesOf;
using testing::RandomBytes;

TEST(Crc32, CheckValueOfDigitsIsCbf43926) {
    const Bytes digits = BytesOf("123456789");
    EXPECT_EQ(Crc32Ieee(digits.data(), digits.size()), 0xCBF43926u);
    EXPECT_EQ(Crc32Ieee(nullptr, 0), 0u);
}

TEST(Crc32, MatchesZlibOnRandomBuffers) {
    for (std::size_t size : {1u, 2u, 3u, 255u, 256u, 4097u, 65580u}) {
        SCOPED_TRACE(size);
        const Bytes data = RandomBytes(size, static_cast<std::uint32_t>(size));
        const auto expected =
            static_cast<std::uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size())));
        EXPECT_EQ(Crc32Ieee(data.data(), data.size()), expected);
    }
}

TEST(Crc32, NullInputThrowsOnlyWithLength) {
    Crc32Accumulator crc;
    crc.Update(nullptr, 0);
    EXPECT_EQ(crc.Value(), 0u);
    try {
        crc.Update(nullptr, 1);
        FAIL() << "no exception";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "CRC32 input is null");
    }
    EXPECT_THROW(Crc32Ieee(nullptr, 5), std::invalid_argument);
}

}  // namespace
}  // namespace cvfile
