#include "cvhost/crc16.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

#include "cvhost/test_bytes.h"

namespace cvhost {
namespace {

using testing::Ascii;
using testing::Bytes;

TEST(Crc16X25, MatchesPublishedCheckValueAndIsZeroForEmptyInput) {
    const Bytes check = Ascii("123456789");
    EXPECT_EQ(Crc16X25(check.data(), check.size()), 0x906E);
    EXPECT_EQ(Crc16X25(nullptr, 0), 0);
    EXPECT_EQ(Crc16X25(check.data(), 0), 0);
}

TEST(Crc16X25, DataFollowedByItsCrcLeavesTheFixedResidue) {
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        Bytes data(rng() % 300);
        for (auto& b : data) {
            b = static_cast<std::uint8_t>(rng());
        }
        const std::uint16_t crc = Crc16X25(data.data(), data.size());
        data.push_back(static_cast<std::uint8_t>(crc & 0xFF));
        data.push_back(static_cast<std::uint8_t>(crc >> 8));
        ASSERT_EQ(Crc16X25(data.data(), data.size()), 0x0F47) << "round " << round;
    }
}

TEST(Crc16X25, NullBufferWithLengthIsAProgrammingError) {
    EXPECT_THROW(Crc16X25(nullptr, 1), std::invalid_argument);
}

}  // namespace
}  // namespace cvhost
