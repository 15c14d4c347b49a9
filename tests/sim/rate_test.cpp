// Air rates: what a host pushes through an ARQ link arrives at the configured
// rate of the link's level, scaled by the channel's time scale, with the echo
// at the sender carrying the same bytes.
#include <cstdio>

#include "cvhost/link_status.h"
#include "raw_client.h"

namespace velksim::test {
namespace {

using Clock = std::chrono::steady_clock;

class Rates : public SimFixture {
  protected:
    // Keeps A's buffer filled (at most 32 frames of 256 bytes waiting) and
    // collects both ends until all of `data` arrived and came back as echo or
    // 20 s passed. The rate counts from the first arrival to the last.
    double Carry(RawClient& a, RawClient& b, const Bytes& data) {
        std::size_t queued = 0;
        std::size_t firstBlock = 0;
        Clock::time_point first;
        Clock::time_point last;
        const auto end = Clock::now() + 20s;
        while ((received.size() < data.size() || echoed.size() < data.size()) &&
               Clock::now() < end) {
            cvhost::LinkStatus status;
            if (queued < data.size() &&
                !cvhost::ParseLinkStatus(a.Command(kChannel, "L")->payload, status)) {
                ADD_FAILURE() << "bad L answer";
                break;
            }
            for (std::uint32_t frames = status.PendingFrames(); frames < 32 && queued < data.size();
                 ++frames) {
                const std::size_t n = std::min<std::size_t>(256, data.size() - queued);
                if (a.Data(kChannel, Bytes(data.begin() + queued, data.begin() + queued + n))
                        ->code != 0) {
                    ADD_FAILURE() << "data frame refused";
                    return 0;
                }
                queued += n;
            }
            const std::size_t before = received.size();
            for (auto [client, code, into] : {std::tuple{&a, 8, &echoed}, {&b, 7, &received}}) {
                for (const cvhost::Frame& f : client->Drain(kChannel)) {
                    if (f.code == code) {
                        into->insert(into->end(), f.payload.begin(), f.payload.end());
                    }
                }
            }
            if (received.size() != before) {
                last = Clock::now();
                if (before == 0) {
                    first = last;
                    firstBlock = received.size();
                }
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        const double seconds = std::chrono::duration<double>(last - first).count();
        return seconds > 0 ? static_cast<double>(received.size() - firstBlock) / seconds : 0;
    }

    Bytes received;
    Bytes echoed;
};

TEST_F(Rates, ArqLinkCarriesDataAtTheLevelsRateAtTimeScales1And50) {
    // 100 KiB at level 4 and scale 50; a short window at scale 1 shows the
    // unscaled rate.
    const struct {
        double timeScale;
        std::uint8_t level;
        std::size_t bytes;
    } cases[] = {{50, 4, 100 * 1024}, {50, 2, 6 * 1024}, {1, 4, 7 * 256}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "scale " << c.timeScale << " level " << int(c.level));
        auto options = Options({"AB1CD", "XY2Z"});
        options.channel.timeScale = c.timeScale;
        options.channel.arqLevel = c.level;
        options.channel.connectDelay = std::chrono::milliseconds(100);
        options.channel.maxBufferedFrames = 64;
        StartSim(options);
        auto a = Host(0);
        auto b = Host(1);
        Link(*a, *b, "AB1CD", "XY2Z");
        Bytes data(c.bytes);
        for (std::size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<std::uint8_t>((i * 31) ^ (i >> 8));
        }
        received.clear();
        echoed.clear();
        const double rate = Carry(*a, *b, data);
        EXPECT_EQ(received, data);
        EXPECT_EQ(echoed, data);
        const double expected = options.channel.levels[c.level].bytesPerSecond * c.timeScale;
        std::printf("scale %g level %d: %zu bytes at %.1f B/s (configured %.1f B/s)\n", c.timeScale,
                    c.level, received.size(), rate, expected);
        EXPECT_NEAR(rate, expected, expected * 0.05);
        EXPECT_EQ(sim_->modem(0).counters().bytesOnAir, data.size());
        sim_.reset();
    }
}

}  // namespace
}  // namespace velksim::test
