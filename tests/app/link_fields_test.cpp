#include "app/link_fields.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "text/conversions.h"

namespace corvina {
namespace {

TEST(LinkFields, ChannelMustBeOneToThirtyOneFillingTheField) {
    const std::vector<std::pair<std::u16string, std::optional<int>>> cases = {
        {u"1", 1},
        {u"31", 31},
        {u"4", 4},
        {u"004", 4},
        {u"4 ", std::nullopt},
        {u" 4", std::nullopt},
        {u"0", std::nullopt},
        {u"32", std::nullopt},
        {u"", std::nullopt},
        {u"x", std::nullopt},
        {u"99999999999", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(testing::Message() << "'" << WideToUtf8(text) << "'");
        const auto channel = ParseHostmodeChannel(text);
        ASSERT_EQ(channel.has_value(), expected.has_value());
        if (expected) {
            EXPECT_EQ(*channel, *expected);
        }
    }
}

TEST(LinkFields, TelnetPortAcceptsLeadingBlankAndRefusesJunk) {
    const std::vector<std::pair<std::u16string, std::optional<int>>> cases = {
        {u"3000", 3000},          {u" 3000", 3000},
        {u"65535", 65535},        {u"1", 1},
        {u"3000x", std::nullopt}, {u"0", std::nullopt},
        {u"65536", std::nullopt}, {u"", std::nullopt},
        {u"  ", std::nullopt},    {u"-1", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(testing::Message() << "'" << WideToUtf8(text) << "'");
        const auto port = ParseTelnetPort(text);
        ASSERT_EQ(port.has_value(), expected.has_value());
        if (expected) {
            EXPECT_EQ(*port, *expected);
        }
    }
}

}  // namespace
}  // namespace corvina
