#include "text/windows1252.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "text/conversions.h"

namespace corvina {
namespace {

struct ByteAndUnit {
    std::uint8_t byte;
    char16_t unit;
};

// The 27 characters the code page assigns in 0x80..0x9F, from its published chart.
constexpr ByteAndUnit kAssignedHighControls[] = {
    {0x80, 0x20AC}, {0x82, 0x201A}, {0x83, 0x0192}, {0x84, 0x201E}, {0x85, 0x2026}, {0x86, 0x2020},
    {0x87, 0x2021}, {0x88, 0x02C6}, {0x89, 0x2030}, {0x8A, 0x0160}, {0x8B, 0x2039}, {0x8C, 0x0152},
    {0x8E, 0x017D}, {0x91, 0x2018}, {0x92, 0x2019}, {0x93, 0x201C}, {0x94, 0x201D}, {0x95, 0x2022},
    {0x96, 0x2013}, {0x97, 0x2014}, {0x98, 0x02DC}, {0x99, 0x2122}, {0x9A, 0x0161}, {0x9B, 0x203A},
    {0x9C, 0x0153}, {0x9E, 0x017E}, {0x9F, 0x0178},
};

TEST(Windows1252Test, AssignedHighControlBytesMapToPublishedCharactersBothWays) {
    ASSERT_EQ(std::size(kAssignedHighControls), 27u);
    for (const auto& [byte, unit] : kAssignedHighControls) {
        SCOPED_TRACE(testing::Message() << "byte 0x" << std::hex << int{byte});
        EXPECT_EQ(Windows1252ToUnicode(byte), unit);
        EXPECT_EQ(UnicodeToWindows1252(unit), byte);
    }
}

TEST(Windows1252Test, CharactersWithoutAByteHaveNone) {
    // C1 controls whose byte the code page gives to a printable character, and
    // characters beyond Latin-1 that are not among the 27 extras.
    constexpr char16_t kNoByte[] = {0x0080, 0x0098,     0x009F, 0x0100, 0x0178 + 1,
                                    0x20AD, 0x2122 + 1, 0x4E00, 0xFFFD, 0xD800};
    for (char16_t unit : kNoByte) {
        SCOPED_TRACE(testing::Message() << "U+" << std::hex << int{unit});
        EXPECT_EQ(UnicodeToWindows1252(unit), std::nullopt);
    }
}

TEST(BytesToWideTest, DecodesEveryByteAsOneCharacterIncludingNul) {
    std::vector<std::uint8_t> all(256);
    for (int i = 0; i < 256; ++i) {
        all[i] = static_cast<std::uint8_t>(i);
    }
    const std::u16string wide = BytesToWide(all);
    ASSERT_EQ(wide.size(), all.size());
    EXPECT_EQ(wide[0x00], u'\0');
    EXPECT_EQ(wide[0x80], u'\u20AC');
    EXPECT_EQ(wide[0xFC], u'\u00FC');
    EXPECT_TRUE(BytesToWide({}).empty());

    // Back towards the modem every byte survives, except that a line feed is a
    // line end and goes out as CR.
    std::vector<std::uint8_t> expected = all;
    expected['\n'] = '\r';
    EXPECT_EQ(WideToModemBytes(wide), expected);
}

}  // namespace
}  // namespace corvina
