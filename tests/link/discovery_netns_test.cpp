#include <gtest/gtest.h>
#include <unistd.h>

#include "discovery_responder.h"
#include "link/broadcast_targets.h"
#include "link/discovery.h"
#include "network_namespace.h"

namespace corvina {
namespace {

using namespace std::chrono_literals;
using testing::MakeReply;
using testing::NetworkNamespace;
using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

std::string Unique(const std::string& tag) {
    return "cvl" + std::to_string(getpid()) + tag;
}

// The searcher's namespace and the modem's, joined by a veth pair on
// 10.201.0.0/24: the searcher is .1, the modem .2.
class DiscoveryNetworkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(searcher.ok()) << "cannot create network namespaces (needs root)";
        ASSERT_TRUE(modem.ok());
        ASSERT_TRUE(testing::JoinWithVeth(searcher, Unique("a"), "10.201.0.1/24", modem,
                                          Unique("b"), "10.201.0.2/24"))
            << "cannot create the veth pair";
    }

    struct Search {
        std::vector<DiscoveredModem> modems;
        std::string error;
        Clock::duration took{};
    };

    Search SearchFromSearcher(std::uint32_t timeoutMs) {
        Search search;
        const bool entered = searcher.RunInside([&] {
            const auto start = Clock::now();
            search.modems = DiscoverModems(timeoutMs, search.error);
            search.took = Clock::now() - start;
        });
        EXPECT_TRUE(entered);
        return search;
    }

    NetworkNamespace searcher{Unique("s")};
    NetworkNamespace modem{Unique("m")};
};

TEST_F(DiscoveryNetworkTest, ModemAnsweringEveryProbeIsListedOnce) {
    testing::DiscoveryResponder responder(modem, {MakeReply(3000, "Shack   ")});
    ASSERT_TRUE(responder.listening());
    const Search search = SearchFromSearcher(1500);
    EXPECT_TRUE(search.error.empty()) << search.error;
    EXPECT_EQ(responder.probes(), 2) << "one round at the start, one a second later";
    ASSERT_EQ(search.modems.size(), 1u);
    EXPECT_EQ(search.modems[0].address, "10.201.0.2");
    EXPECT_EQ(search.modems[0].port, 3000);
    EXPECT_EQ(search.modems[0].modemName, "Shack");
    EXPECT_GE(search.took, 1400ms);
}

TEST_F(DiscoveryNetworkTest, ForeignOversizedAndFloodingDatagramsAreIgnored) {
    std::vector<Bytes> answers = {
        MakeReply(3001, "short", 31),
        MakeReply(3002, "foreign", 32, "DSCX"),
        {'D', 'S', 'C', 'V'},
        MakeReply(4000, "Big", 600),
        MakeReply(3000, std::string("AB\0garbage", 10)),
        MakeReply(3000, "again"),  // same address and port: dropped
    };
    for (int i = 0; i < 3000; ++i) {
        answers.push_back(
            Bytes(static_cast<std::size_t>(1 + i % 200), static_cast<std::uint8_t>(i)));
    }
    testing::DiscoveryResponder responder(modem, answers);
    ASSERT_TRUE(responder.listening());
    const Search search = SearchFromSearcher(1200);
    EXPECT_TRUE(search.error.empty()) << search.error;
    ASSERT_EQ(search.modems.size(), 2u);
    EXPECT_EQ(search.modems[0].port, 4000);
    EXPECT_EQ(search.modems[0].modemName, "Big");
    EXPECT_EQ(search.modems[1].port, 3000);
    EXPECT_EQ(search.modems[1].modemName, "AB");
    EXPECT_LT(search.took, 3s) << "the flood held the search past its deadline";
}

TEST_F(DiscoveryNetworkTest, TwoInterfacesOnOneSubnetSendOneProbePerRound) {
    ASSERT_TRUE(testing::JoinWithVeth(searcher, Unique("c"), "10.201.0.3/24", modem, Unique("d"),
                                      "10.201.0.4/24"));
    testing::DiscoveryResponder responder(modem, {MakeReply(3000, "One")});
    ASSERT_TRUE(responder.listening());
    const Search search = SearchFromSearcher(600);
    EXPECT_EQ(responder.probes(), 1);
    EXPECT_EQ(search.modems.size(), 1u);
}

TEST_F(DiscoveryNetworkTest, NoAnswerGivesAnEmptyListAndNoError) {
    const Search search = SearchFromSearcher(300);
    EXPECT_TRUE(search.modems.empty());
    EXPECT_TRUE(search.error.empty()) << search.error;
    EXPECT_GE(search.took, 290ms);
}

TEST(DiscoveryLoopbackOnlyTest, MachineWithOnlyLoopbackProbesTheLimitedBroadcast) {
    NetworkNamespace alone(Unique("l"));
    ASSERT_TRUE(alone.ok()) << "cannot create a network namespace (needs root)";
    std::vector<std::uint32_t> targets;
    std::vector<DiscoveredModem> modems;
    std::string error;
    ASSERT_TRUE(alone.RunInside([&] {
        targets = BroadcastTargets(LocalInterfaceAddresses(net::kInvalidSocket));
        modems = DiscoverModems(100, error);
    }));
    EXPECT_EQ(targets, std::vector<std::uint32_t>{kLimitedBroadcast});
    EXPECT_TRUE(modems.empty());
    EXPECT_TRUE(error.empty()) << error;
}

}  // namespace
}  // namespace corvina
