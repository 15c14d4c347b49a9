#pragma once

#include <QString>
#include <chrono>
#include <cstdint>
#include <vector>

namespace corvina {

// What a file transfer's progress bar says: percent, bytes done of the total,
// the rate over the last minute and the time left at that rate. The events of
// a transfer carry only a percentage, so bytes done are that share of the
// file. No widget; the caller supplies the clock, so it is tested without one.
class TransferProgress {
  public:
    using Clock = std::chrono::steady_clock;

    // A new transfer of `totalBytes` file bytes, at 0 % as of `now`.
    void Start(std::uint64_t totalBytes, Clock::time_point now);
    // The transfer has reached `percent` (clamped to 100) as of `now`.
    void Update(std::uint32_t percent, Clock::time_point now);

    std::uint32_t percent() const { return percent_; }
    std::uint64_t doneBytes() const;
    std::uint64_t totalBytes() const { return totalBytes_; }

    // File bytes per second over the minute before `now` (over the whole
    // transfer while it is younger), or a negative value during its first two
    // seconds. 0 after a minute without progress.
    double BytesPerSecond(Clock::time_point now) const;

    // For example "42%  ·  27.5 KiB of 64.0 KiB  ·  1.21 KiB/s  ·  0:23 left";
    // Details is the same without the leading percent.
    QString Text(Clock::time_point now) const;
    QString Details(Clock::time_point now) const;

  private:
    struct Sample {
        Clock::time_point when;
        std::uint64_t done;
    };
    std::uint64_t totalBytes_ = 0;
    std::uint32_t percent_ = 0;
    Clock::time_point started_{};
    std::vector<Sample> samples_;  // one per percent reached, oldest first
};

// "812 B", "27.5 KiB", "3.40 MiB".
QString FormatBytes(double bytes);
// "0:23", "12:05", "1:02:03".
QString FormatDuration(double seconds);

}  // namespace corvina
