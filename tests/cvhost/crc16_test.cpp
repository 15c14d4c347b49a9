#include "cvhost/crc16.h"

#include <gtest/gtest.h>

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

TEST(Crc16X25, NullBufferWithLengthIsAProgrammingError) {
    EXPECT_THROW(Crc16X25(nullptr, 1), std::invalid_argument);
}

}  // namespace
}  // namespace cvhost
