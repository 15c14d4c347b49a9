// Two and three modems on one radio channel: ARQ calls, data with echo,
// changeovers, disconnects and broadcasts.
#include <gtest/gtest.h>

#include "cvhost/link_status.h"
#include "sim_fixture.h"

namespace velksim::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Status byte values: state in bits 0..2, sender in bit 3, mode in bits 4..6.
constexpr std::uint8_t kStandby = 0x07;
constexpr std::uint8_t kArqSendIdle = 0x2B;
constexpr std::uint8_t kFecSendIdle = 0x4B;

Bytes Pattern(std::size_t size, std::uint8_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7);  // includes 0xAA and 0xFF
    }
    return bytes;
}

std::uint32_t PendingFrames(RawClient& client) {
    const auto answer = client.Command(4, "L");
    cvhost::LinkStatus status;
    if (!answer || !cvhost::ParseLinkStatus(answer->payload, status)) {
        ADD_FAILURE() << "bad L answer";
        return 0;
    }
    return status.PendingFrames();
}

// Waits until the status bytes' first byte is `expected`.
bool WaitStatus(RawClient& client, std::uint8_t expected, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        const Bytes status = client.Status();
        if (!status.empty() && status[0] == expected) {
            return true;
        }
        std::this_thread::sleep_for(2ms);
    }
    return false;
}

class Radio : public SimFixture {};

TEST_F(Radio, ReceiverBreakInTurnsTheLinkBeforeTheSendersBufferIsOut) {
    auto options = Options({"AB1CD", "XY2Z"});
    options.channel.levels[3] = {100, 32};  // 5 kB/s at scale 50: 8 KiB takes 1.6 s
    StartSim(options);
    auto a = Host(0);
    auto b = Host(1);
    Link(*a, *b, "AB1CD", "XY2Z");
    for (int i = 0; i < 32; ++i) {
        ASSERT_EQ(a->Data(kChannel, Bytes(256, 'a'))->code, 0);
    }
    ASSERT_EQ(b->Command(kChannel, "%O")->code, 0);
    ASSERT_TRUE(WaitStatus(*b, kArqSendIdle, 2000ms));
    EXPECT_GT(PendingFrames(*a), 0u);  // A keeps what it could not send
    const Bytes result = Ascii("result");
    ASSERT_EQ(b->Data(kChannel, result)->code, 0);
    const Bytes heard = Collect(*a, 7, result.size());
    EXPECT_EQ(heard, result);
}

TEST_F(Radio, SendersDisconnectLetsItsBufferedDataOutFirst) {
    auto options = Options({"AB1CD", "XY2Z"});
    options.channel.levels[3] = {200, 64};
    StartSim(options);
    auto a = Host(0);
    auto b = Host(1);
    Link(*a, *b, "AB1CD", "XY2Z");
    const Bytes data = Pattern(1024, 1);
    for (std::size_t at = 0; at < data.size(); at += 256) {
        ASSERT_EQ(a->Data(kChannel, Bytes(data.begin() + at, data.begin() + at + 256))->code, 0);
    }
    ASSERT_EQ(a->Command(kChannel, "D")->code, 0);
    ASSERT_TRUE(b->WaitLinkMessage(kChannel, "*** DISCONNECTED fm AB1CD", 3000ms));
    Bytes heard;
    for (const cvhost::Frame& f : b->Drain(kChannel)) {
        if (f.code == 7) {
            heard.insert(heard.end(), f.payload.begin(), f.payload.end());
        }
    }
    EXPECT_EQ(heard, data);
}

TEST_F(Radio, CallsThatFindNoFreeStationOrAreAbortedEndWithADisconnectMessage) {
    auto options = Options({"AB1CD", "XY2Z", "QR3S"});
    options.channel.callTimeout = std::chrono::milliseconds(2000);    // 40 ms at scale 50
    options.channel.connectDelay = std::chrono::milliseconds(50000);  // 1 s at scale 50
    StartSim(options);
    auto a = Host(0);
    auto b = Host(1);
    auto c = Host(2);
    // Nobody holds NOBODY.
    ASSERT_EQ(c->Command(kChannel, "C NOBODY")->code, 0);
    EXPECT_TRUE(c->WaitLinkMessage(kChannel, "*** DISCONNECTED fm NOBODY", 1000ms));
    EXPECT_EQ(c->Status()[0], kStandby);
    // Aborted before the called station answers: it never hears of the call.
    ASSERT_EQ(c->Command(kChannel, "C AB1CD")->code, 0);
    ASSERT_EQ(c->Command(kChannel, "D")->code, 0);
    EXPECT_TRUE(c->WaitLinkMessage(kChannel, "*** DISCONNECTED fm AB1CD", 300ms));
    EXPECT_EQ(a->Status()[0], kStandby);
    // A busy station does not answer.
    Link(*a, *b, "AB1CD", "XY2Z");
    ASSERT_EQ(c->Command(kChannel, "C XY2Z")->code, 0);
    EXPECT_TRUE(c->WaitLinkMessage(kChannel, "*** DISCONNECTED fm XY2Z", 1000ms));
    EXPECT_EQ(a->Command(kChannel, "C QR3S")->code, 2);  // already linked
    EXPECT_EQ(a->Drain(kChannel).size(), 0u);            // no message from C's attempts
}

TEST_F(Radio, BroadcastIsHeardByEveryOtherModemAndEndsOnceItsDataIsOut) {
    StartSim(Options({"AB1CD", "XY2Z", "QR3S"}));
    auto a = Host(0);
    auto b = Host(1);
    auto c = Host(2);
    const struct {
        std::string mode;
        std::uint8_t level;
    } modes[] = {{"1", 1}, {"3", 2}, {"7", 2}};
    for (const auto& mode : modes) {
        SCOPED_TRACE(mode.mode);
        ASSERT_EQ(a->Command(kChannel, "#UNPROTO " + mode.mode)->code, 0);
        ASSERT_TRUE(a->WaitLinkMessage(kChannel, "*** CONNECTED to UNPROTO", 1000ms));
        EXPECT_EQ(a->Status(), (Bytes{kFecSendIdle, mode.level, 0}));
        const Bytes text = Ascii("CQ CQ de AB1CD " + mode.mode + "\r\n");
        ASSERT_EQ(a->Data(kChannel, text)->code, 0);
        ASSERT_EQ(a->Command(kChannel, "D")->code, 0);
        EXPECT_EQ(Collect(*b, 7, text.size()), text);
        EXPECT_EQ(Collect(*c, 7, text.size()), text);
        EXPECT_EQ(Collect(*a, 8, text.size()), text);
        ASSERT_TRUE(WaitStatus(*a, kStandby, 2000ms));
        EXPECT_EQ(b->Status()[0], kStandby);
    }
}

}  // namespace
}  // namespace velksim::test
