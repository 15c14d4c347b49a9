#include "link/discovery.h"

#include <gtest/gtest.h>

#include "discovery_responder.h"
#include "link/broadcast_targets.h"
#include "link/discovery_reply.h"

namespace corvina {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::MakeReply;

constexpr std::uint32_t Ip(int a, int b, int c, int d) {
    return static_cast<std::uint32_t>(a) << 24 | static_cast<std::uint32_t>(b) << 16 |
           static_cast<std::uint32_t>(c) << 8 | static_cast<std::uint32_t>(d);
}

TEST(DiscoveryReplyTest, ReadsEveryFieldOfAReply) {
    const Bytes reply = MakeReply(0xBB8, "VELK-1");
    const auto modem = ParseDiscoveryReply(reply.data(), reply.size(), "192.168.1.20");
    ASSERT_TRUE(modem);
    EXPECT_EQ(modem->address, "192.168.1.20");
    EXPECT_EQ(modem->port, 3000);
    EXPECT_EQ(modem->replyByte, 0x5A);
    EXPECT_EQ(modem->replyValue, 0x1122334455667788u);
    EXPECT_EQ(modem->modemName, "VELK-1");
}

TEST(DiscoveryReplyTest, NameEndsAtNulAndLosesTrailingBlanks) {
    struct Case {
        Bytes nameBytes;
        std::string name;
    };
    const std::vector<Case> cases = {
        {{'A', 'B', 0, 'x', 'y', 'z', 'z', 'z', 'z'}, "AB"},
        {Bytes(9, ' '), ""},
        {{'M', 'o', 'd', 'e', 'm', ' ', ' ', 0, 'q'}, "Modem"},
        {{'N', 'I', 'N', 'E', 'C', 'H', 'A', 'R', 'S'}, "NINECHARS"},
        {{' ', 'L', 'e', 'a', 'd', 0, 0, 0, 0}, " Lead"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes reply = MakeReply(3000, "", 40);
        std::copy(c.nameBytes.begin(), c.nameBytes.end(), reply.begin() + 23);
        reply[32] = 'X';  // bytes past the name field never join it
        const auto modem = ParseDiscoveryReply(reply.data(), reply.size(), "10.0.0.1");
        ASSERT_TRUE(modem);
        EXPECT_EQ(modem->modemName, c.name);
    }
}

TEST(DiscoveryLabelTest, NamesTheModemOrFallsBackToTheFamilyName) {
    DiscoveredModem modem{"10.1.2.3", 3000, 0, 0, "Shack"};
    EXPECT_EQ(DiscoveryLabel(modem), u"Shack - 10.1.2.3:3000");
    modem.modemName.clear();
    modem.port = 65535;
    EXPECT_EQ(DiscoveryLabel(modem), u"Velk modem - 10.1.2.3:65535");
    modem.modemName = "\xC3\xA9t\xC3\xA9";  // UTF-8 "été"
    EXPECT_EQ(DiscoveryLabel(modem), u"\u00E9t\u00E9 - 10.1.2.3:65535");
}

TEST(BroadcastTargetsTest, OneTargetPerBroadcastAddressLoopbackSkipped) {
    struct Case {
        const char* name;
        std::vector<InterfaceAddress> interfaces;
        std::vector<std::uint32_t> targets;
    };
    const std::uint32_t mask24 = Ip(255, 255, 255, 0);
    const std::vector<Case> cases = {
        {"two interfaces on one subnet",
         {{Ip(192, 168, 1, 5), mask24}, {Ip(192, 168, 1, 9), mask24}},
         {Ip(192, 168, 1, 255)}},
        {"two subnets",
         {{Ip(10, 0, 0, 1), Ip(255, 0, 0, 0)}, {Ip(192, 168, 1, 5), mask24}},
         {Ip(10, 255, 255, 255), Ip(192, 168, 1, 255)}},
        {"loopback only", {{Ip(127, 0, 0, 1), Ip(255, 0, 0, 0)}}, {kLimitedBroadcast}},
        {"no interfaces", {}, {kLimitedBroadcast}},
        {"loopback beside a real one",
         {{Ip(127, 0, 0, 1), Ip(255, 0, 0, 0)}, {Ip(172, 16, 4, 2), Ip(255, 255, 252, 0)}},
         {Ip(172, 16, 7, 255)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BroadcastTargets(c.interfaces), c.targets);
    }
}

}  // namespace
}  // namespace corvina
