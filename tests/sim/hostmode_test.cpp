// Hostmode answers of one modem, seen by a raw client over TCP.
#include <gtest/gtest.h>

#include <random>

#include "cvhost/request.h"
#include "sim_fixture.h"

namespace velksim::test {
namespace {

class Hostmode : public SimFixture {};

TEST_F(Hostmode, LinkChannelCommandsAnswerWithTheCodesAHostExpects) {
    StartSim(Options({"AB1CD"}));
    auto host = Host(0);
    struct Step {
        std::string command;
        std::uint8_t code;
        std::string text;  // expected text for code 1 and 2 answers; "*" any
    };
    const Step steps[] = {
        {"%M 1", 0, ""},        {"I", 1, "AB1CD"}, {"I nw2xyz", 0, ""},     {"I", 1, "NW2XYZ"},
        {"I AB/1", 2, "*"},     {"G", 0, ""},      {"L", 1, "0 0 0 0 0 0"}, {"%O", 2, "*"},
        {"#UNPROTO 2", 2, "*"}, {"D", 0, ""},      {"FOO BAR", 2, "*"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.command);
        const auto answer = host->Command(kChannel, step.command);
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->channel, kChannel);
        EXPECT_EQ(answer->code, step.code) << Text(*answer);
        if (step.text != "*") {
            EXPECT_EQ(Text(*answer), step.text);
        } else {
            EXPECT_FALSE(answer->payload.empty());
        }
    }
    // With no link, "C" answers a text that is not a call sign.
    const auto connected = host->Command(kChannel, "C");
    ASSERT_TRUE(connected);
    EXPECT_EQ(connected->code, 1);
    EXPECT_NE(Text(*connected).find(' '), std::string::npos);
    EXPECT_EQ(sim_->modem(0).counters().Requests(kChannel, "I nw2xyz"), 1u);
}

TEST_F(Hostmode, RepeatedRequestGetsThePreviousAnswerWithoutRunningAgain) {
    StartSim(Options({"AB1CD", "XY2Z"}));
    auto a = Host(0);
    auto b = Host(1);
    ASSERT_EQ(a->Command(kChannel, "C XY2Z")->code, 0);
    // Wait until B holds its connect message and the data behind it.
    ASSERT_TRUE(a->WaitLinkMessage(kChannel, "CONNECTED to XY2Z", 2000ms));
    ASSERT_EQ(a->Data(kChannel, Ascii("payload"))->code, 0);
    const auto sent = a->Repeat();  // same bytes, same sequence bit
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->code, 0);
    EXPECT_EQ(sim_->modem(0).counters().dataBytesAccepted, 7u);  // queued once
    ASSERT_EQ(Collect(*a, 8, 7), Ascii("payload"));

    const auto first = b->Command(kChannel, "G");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->code, 3);
    const auto again = b->Repeat();
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, *first);                    // the same item, not the next one
    const auto next = b->Command(kChannel, "G");  // sequence bit toggled: new request
    ASSERT_TRUE(next);
    EXPECT_EQ(next->code, 7);
    EXPECT_EQ(Text(*next), "payload");
    EXPECT_EQ(sim_->modem(1).counters().repetitions, 1u);
    EXPECT_EQ(sim_->modem(0).counters().repetitions, 1u);
}

TEST_F(Hostmode, LineNoiseNeverKeepsTheModemFromAnsweringTheNextFrame) {
    StartSim(Options({"AB1CD"}));
    auto host = Host(0);
    std::mt19937 random(11);
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        std::vector<std::uint8_t> noise(1 + random() % 4096);
        for (std::uint8_t& b : noise) {
            // Plenty of sync bytes, so frames start and break all the time.
            b = random() % 4 == 0 ? 0xAA : static_cast<std::uint8_t>(random());
        }
        ASSERT_TRUE(host->Write(noise));
        // Noise that ends inside a frame can spoil the first request, as on a
        // real line; the host's one retry must always get through.
        auto answer = host->Command(kChannel, "I", 300ms);
        if (!answer) {
            answer = host->Repeat();
        }
        ASSERT_TRUE(answer);
        EXPECT_EQ(Text(*answer), "AB1CD");
    }
    EXPECT_GT(sim_->modem(0).counters().crcErrors + sim_->modem(0).counters().formatErrors, 0u);
}

}  // namespace
}  // namespace velksim::test
