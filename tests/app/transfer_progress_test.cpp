#include "app/transfer_progress.h"

#include <gtest/gtest.h>

namespace corvina {
namespace {

using std::chrono::seconds;

// One transfer of 64 KiB followed through its events: what the bar says at
// each moment, including a stall that the one-minute rate must notice.
TEST(TransferProgress, TextFollowsPercentRateAndTimeLeft) {
    const auto t0 = TransferProgress::Clock::time_point{} + std::chrono::hours(1);
    TransferProgress progress;
    progress.Start(65536, t0);
    struct Step {
        int at;       // seconds after the start
        int percent;  // reported at that moment; -1 for none
        const char* text;
    } steps[] = {
        {0, -1, "0%  \u00B7  0 B of 64.0 KiB  \u00B7  measuring rate"},
        {1, 1, "1%  \u00B7  655 B of 64.0 KiB  \u00B7  measuring rate"},
        {10, 50, "50%  \u00B7  32.0 KiB of 64.0 KiB  \u00B7  3.2 KiB/s  \u00B7  0:10 left"},
        {40, -1, "50%  \u00B7  32.0 KiB of 64.0 KiB  \u00B7  819 B/s  \u00B7  0:40 left"},
        // Nothing since second 10: the last minute saw no progress.
        {75, -1, "50%  \u00B7  32.0 KiB of 64.0 KiB  \u00B7  0 B/s  \u00B7  time left unknown"},
        // 25 % in the last minute, whatever came before it.
        {100, 75, "75%  \u00B7  48.0 KiB of 64.0 KiB  \u00B7  273 B/s  \u00B7  1:00 left"},
        {100, 75, "75%  \u00B7  48.0 KiB of 64.0 KiB  \u00B7  273 B/s  \u00B7  1:00 left"},
        {101, 130, "100%  \u00B7  64.0 KiB of 64.0 KiB  \u00B7  546 B/s  \u00B7  0:00 left"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.at);
        const auto now = t0 + seconds(step.at);
        if (step.percent >= 0) {
            progress.Update(static_cast<std::uint32_t>(step.percent), now);
        }
        EXPECT_EQ(progress.Text(now), QString::fromUtf8(step.text));
    }
    // Large files and slow links; seconds that round up to a minute carry.
    EXPECT_EQ(FormatBytes(3.5 * 1024 * 1024), QStringLiteral("3.50 MiB"));
    EXPECT_EQ(FormatDuration(59.6), QStringLiteral("1:00"));
    EXPECT_EQ(FormatDuration(3723), QStringLiteral("1:02:03"));
}

}  // namespace
}  // namespace corvina
