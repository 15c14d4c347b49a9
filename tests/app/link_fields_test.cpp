#include "app/link_fields.h"

#include <gtest/gtest.h>

#include <optional>

#include "text/conversions.h"

namespace corvina {
namespace {

TEST(LinkFields, ChannelFillsItsFieldWithOneToThirtyOneAndPortMayLeadWithBlanks) {
    const struct {
        std::u16string text;
        std::optional<int> channel, port;
    } cases[] = {
        {u"1", 1, 1},       {u"31", 31, 31},       {u"004", 4, 4},     {u"4 ", {}, {}},
        {u" 4", {}, 4},     {u"0", {}, {}},        {u"32", {}, 32},    {u"", {}, {}},
        {u"x", {}, {}},     {u"  ", {}, {}},       {u"-1", {}, {}},    {u"99999999999", {}, {}},
        {u"3000x", {}, {}}, {u"65535", {}, 65535}, {u"65536", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("'" + WideToUtf8(c.text) + "'");
        EXPECT_EQ(ParseHostmodeChannel(c.text), c.channel);
        EXPECT_EQ(ParseTelnetPort(c.text), c.port);
    }
}

}  // namespace
}  // namespace corvina
