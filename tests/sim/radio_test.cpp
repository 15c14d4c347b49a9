// Modems on one radio channel: break-in, the drain before a disconnect and
// busy stations; the session's two-station run covers the rest.
#include "cvhost/link_status.h"
#include "raw_client.h"

namespace velksim::test {
namespace {

// Status byte values: state in bits 0..2, sender in bit 3, mode in bits 4..6.
constexpr std::uint8_t kStandby = 0x07;
constexpr std::uint8_t kArqSendIdle = 0x2B;

class Radio : public SimFixture {
  protected:
    void StartTwo(double bytesPerSecond, std::uint32_t blockBytes) {
        auto options = Options({"AB1CD", "XY2Z"});
        options.channel.levels[3] = {bytesPerSecond, blockBytes};
        StartSim(options);
        a = Host(0);
        b = Host(1);
        Link(*a, *b, "AB1CD", "XY2Z");
    }

    std::unique_ptr<RawClient> a;
    std::unique_ptr<RawClient> b;
};

TEST_F(Radio, ReceiverBreakInTurnsTheLinkBeforeTheSendersBufferIsOut) {
    StartTwo(100, 32);  // 5 kB/s at scale 50: 8 KiB takes 1.6 s
    for (int i = 0; i < 32; ++i) {
        ASSERT_EQ(a->Data(kChannel, Bytes(256, 'a'))->code, 0);
    }
    ASSERT_EQ(b->Command(kChannel, "%O")->code, 0);
    const auto state = [&] {
        const Bytes status = b->Status();
        return status.empty() ? 0 : status[0];
    };
    const auto end = std::chrono::steady_clock::now() + 2000ms;
    while (state() != kArqSendIdle && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(2ms);
    }
    ASSERT_EQ(state(), kArqSendIdle);
    cvhost::LinkStatus status;
    ASSERT_TRUE(cvhost::ParseLinkStatus(a->Command(kChannel, "L")->payload, status));
    EXPECT_GT(status.PendingFrames(), 0u);  // A keeps what it could not send
    ASSERT_EQ(b->Data(kChannel, Ascii("result"))->code, 0);
    EXPECT_EQ(Collect(*a, 7, 6), Ascii("result"));
}

TEST_F(Radio, SendersDisconnectLetsItsBufferedDataOutFirst) {
    StartTwo(200, 64);
    Bytes data(1024);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(1 + i * 7);  // includes 0xAA and 0xFF
    }
    for (std::size_t at = 0; at < data.size(); at += 256) {
        ASSERT_EQ(a->Data(kChannel, Bytes(data.begin() + at, data.begin() + at + 256))->code, 0);
    }
    ASSERT_EQ(a->Command(kChannel, "D")->code, 0);
    ASSERT_TRUE(b->WaitLinkMessage(kChannel, "*** DISCONNECTED fm AB1CD", 3000ms));
    EXPECT_EQ(Collect(*b, 7, data.size(), 100ms), data);
}

// Calls that find no one or are aborted are the window's and the command
// line's runs; a busy station is only seen here.
TEST_F(Radio, BusyStationsNeitherAnswerNorTakeASecondCall) {
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
    EXPECT_EQ(a->Drain(kChannel).size(), 0u);            // no message from C's attempt
}

}  // namespace
}  // namespace velksim::test
