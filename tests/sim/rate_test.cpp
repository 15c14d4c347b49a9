// Air rates: what a host pushes through an ARQ link arrives at the configured
// rate of the link's level, scaled by the channel's time scale, with the echo
// at the sender carrying the same bytes.
#include <gtest/gtest.h>

#include <cstdio>

#include "cvhost/link_status.h"
#include "sim_fixture.h"

namespace velksim::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

struct Transfer {
    Bytes received;
    Bytes echoed;
    double bytesPerSecond = 0;  // wall clock, between the first and last arrival
};

// Keeps the sender's buffer filled (at most `window` frames of 256 bytes waiting)
// and collects both ends until everything arrived or `timeout` passed.
Transfer Carry(RawClient& a, RawClient& b, const Bytes& data, std::uint32_t window,
               std::chrono::milliseconds timeout) {
    constexpr std::uint8_t kChannel = 4;
    Transfer result;
    std::size_t queued = 0;
    std::size_t firstBlock = 0;
    Clock::time_point first;
    Clock::time_point last;
    const auto end = Clock::now() + timeout;
    while ((result.received.size() < data.size() || result.echoed.size() < data.size()) &&
           Clock::now() < end) {
        if (queued < data.size()) {
            cvhost::LinkStatus status;
            const auto l = a.Command(kChannel, "L");
            if (!l || !cvhost::ParseLinkStatus(l->payload, status)) {
                ADD_FAILURE() << "bad L answer";
                break;
            }
            for (std::uint32_t frames = status.PendingFrames();
                 frames < window && queued < data.size(); ++frames) {
                const std::size_t n = std::min<std::size_t>(256, data.size() - queued);
                const auto answer =
                    a.Data(kChannel, Bytes(data.begin() + queued, data.begin() + queued + n));
                if (!answer || answer->code != 0) {
                    ADD_FAILURE() << "data frame refused";
                    return result;
                }
                queued += n;
            }
        }
        for (const cvhost::Frame& f : a.Drain(kChannel)) {
            if (f.code == 8) {
                result.echoed.insert(result.echoed.end(), f.payload.begin(), f.payload.end());
            }
        }
        const std::size_t before = result.received.size();
        for (const cvhost::Frame& f : b.Drain(kChannel)) {
            if (f.code == 7) {
                result.received.insert(result.received.end(), f.payload.begin(), f.payload.end());
            }
        }
        if (result.received.size() != before) {
            last = Clock::now();
            if (before == 0) {
                first = last;
                firstBlock = result.received.size();
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    const double seconds = std::chrono::duration<double>(last - first).count();
    if (seconds > 0) {
        result.bytesPerSecond = static_cast<double>(result.received.size() - firstBlock) / seconds;
    }
    return result;
}

class Rates : public SimFixture {};

TEST_F(Rates, ArqLinkCarriesDataAtTheLevelsRateAtTimeScales1And50) {
    struct Case {
        double timeScale;
        std::uint8_t level;
        std::size_t bytes;
    };
    // 100 KiB at level 4 and scale 50; a short window at scale 1 shows the
    // unscaled rate.
    const Case cases[] = {{50, 4, 100 * 1024}, {50, 2, 6 * 1024}, {1, 4, 7 * 256}};
    for (const Case& c : cases) {
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
        const Transfer t = Carry(*a, *b, data, 32, 20000ms);
        EXPECT_EQ(t.received, data);
        EXPECT_EQ(t.echoed, data);
        const double expected = options.channel.levels[c.level].bytesPerSecond * c.timeScale;
        std::printf("scale %g level %d: %zu bytes at %.1f B/s (configured %.1f B/s)\n", c.timeScale,
                    c.level, t.received.size(), t.bytesPerSecond, expected);
        EXPECT_NEAR(t.bytesPerSecond, expected, expected * 0.05);
        EXPECT_EQ(sim_->modem(0).counters().bytesOnAir, data.size());
        sim_.reset();
    }
}

}  // namespace
}  // namespace velksim::test
