// Hostmode answers, seen by a raw client over TCP: of one modem, and of
// modems on one radio channel (the transfer and session runs between two
// stations cover break-in and the drain before a disconnect).
#include <numeric>
#include <random>

#include "raw_client.h"

namespace velksim::test {
namespace {

class Hostmode : public SimFixture {};

TEST_F(Hostmode, LinkChannelCommandsAnswerWithTheCodesAHostExpects) {
    StartSim(Options({"AB1CD"}));
    auto host = Host(0);
    const struct {
        std::string command;
        std::uint8_t code;
        std::string text;  // expected text for code 1 and 2 answers; "*" any
    } steps[] = {
        {"%M 1", 0, ""},        {"I", 1, "AB1CD"}, {"I nw2xyz", 0, ""},     {"I", 1, "NW2XYZ"},
        {"I AB/1", 2, "*"},     {"G", 0, ""},      {"L", 1, "0 0 0 0 0 0"}, {"%O", 2, "*"},
        {"#UNPROTO 2", 2, "*"}, {"D", 0, ""},      {"FOO BAR", 2, "*"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.command);
        const auto answer = host->Command(kChannel, step.command);
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->channel, kChannel);
        EXPECT_EQ(answer->code, step.code) << Text(*answer);
        EXPECT_TRUE(step.text == "*" ? !answer->payload.empty() : Text(*answer) == step.text)
            << Text(*answer);
    }
    // With no link, "C" answers a text that is not a call sign.
    const auto connected = host->Command(kChannel, "C");
    ASSERT_TRUE(connected);
    EXPECT_EQ(connected->code, 1);
    EXPECT_NE(Text(*connected).find(' '), std::string::npos);
    // A repeated request is known as one and gets the previous answer.
    const auto first = host->Command(kChannel, "I");
    ASSERT_TRUE(first);
    EXPECT_EQ(host->Repeat(), first);
    EXPECT_EQ(sim_->modem(0).counters().repetitions, 1u);
    EXPECT_EQ(sim_->modem(0).counters().Requests(kChannel, "I nw2xyz"), 1u);
}

TEST_F(Hostmode, LineNoiseNeverKeepsTheModemFromAnsweringTheNextFrame) {
    StartSim(Options({"AB1CD"}));
    auto host = Host(0);
    std::mt19937 random(11);
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        Bytes noise(1 + random() % 4096);
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

constexpr std::uint8_t kStandby = 0x07;  // status byte: no link, not sending

// Calls that find no one or are aborted are the window's and the command
// line's runs; a busy station and the end of a link are seen here.
TEST_F(Hostmode, BusyStationsTakeNoSecondCallAndADisconnectSendsBufferedDataFirst) {
    auto options = Options({"AB1CD", "XY2Z", "QR3S"});
    options.channel.callTimeout = std::chrono::milliseconds(2000);  // 40 ms at scale 50
    StartSim(options);
    auto a = Host(0);
    auto b = Host(1);
    auto c = Host(2);
    Link(*a, *b, "AB1CD", "XY2Z");
    ASSERT_EQ(c->Command(kChannel, "C XY2Z")->code, 0);
    EXPECT_TRUE(c->WaitLinkMessage(kChannel, "*** DISCONNECTED fm XY2Z", 1000ms));
    EXPECT_EQ(c->Status()[0], kStandby);
    EXPECT_EQ(a->Command(kChannel, "C QR3S")->code, 2);  // already linked
    EXPECT_EQ(a->Command(kChannel, "G")->code, 0);       // no message from C's attempt

    Bytes data(1024);
    std::iota(data.begin(), data.end(), std::uint8_t{0});  // 0xAA and 0xFF among them
    for (std::size_t at = 0; at < data.size(); at += 256) {
        ASSERT_EQ(a->Data(kChannel, Bytes(data.begin() + at, data.begin() + at + 256))->code, 0);
    }
    ASSERT_EQ(a->Command(kChannel, "D")->code, 0);
    Bytes received;
    ASSERT_TRUE(b->WaitLinkMessage(kChannel, "*** DISCONNECTED fm AB1CD", 3000ms, &received));
    EXPECT_EQ(received, data);
}

}  // namespace
}  // namespace velksim::test
