#include "app/transfer_progress.h"

#include <algorithm>
#include <cmath>

namespace corvina {
namespace {

constexpr auto kRateWindow = std::chrono::minutes(1);
// Shorter spans give rates that jump with every event.
constexpr double kMinimumRateSpanSeconds = 2;
constexpr std::uint32_t kFullPercent = 100;
const QString kSeparator = QStringLiteral("  \u00B7  ");

}  // namespace

void TransferProgress::Start(std::uint64_t totalBytes, Clock::time_point now) {
    totalBytes_ = totalBytes;
    percent_ = 0;
    started_ = now;
    samples_.clear();
    samples_.push_back({now, 0});
}

void TransferProgress::Update(std::uint32_t percent, Clock::time_point now) {
    percent = std::min(percent, kFullPercent);
    if (percent == percent_) {
        return;  // text sends report every piece; one sample per percent is plenty
    }
    percent_ = percent;
    samples_.push_back({now, doneBytes()});
}

std::uint64_t TransferProgress::doneBytes() const {
    // Split to keep totals near 2^64 from overflowing.
    return totalBytes_ / kFullPercent * percent_ +
           totalBytes_ % kFullPercent * percent_ / kFullPercent;
}

double TransferProgress::BytesPerSecond(Clock::time_point now) const {
    const double age = std::chrono::duration<double>(now - started_).count();
    if (age < kMinimumRateSpanSeconds) {
        return -1;
    }
    const auto windowStart = now - kRateWindow;
    if (started_ >= windowStart) {
        return static_cast<double>(doneBytes()) / age;
    }
    // Bytes done at the start of the window: those of the last sample before it.
    std::uint64_t before = 0;
    for (const Sample& sample : samples_) {
        if (sample.when > windowStart) {
            break;
        }
        before = sample.done;
    }
    return static_cast<double>(doneBytes() - before) /
           std::chrono::duration<double>(kRateWindow).count();
}

QString TransferProgress::Text(Clock::time_point now) const {
    return QString::number(percent_) + QStringLiteral("%") + Details(now);
}

QString TransferProgress::Details(Clock::time_point now) const {
    const QString done = kSeparator + FormatBytes(static_cast<double>(doneBytes())) +
                         QStringLiteral(" of ") + FormatBytes(static_cast<double>(totalBytes_));
    const double rate = BytesPerSecond(now);
    const bool young = now - started_ < kRateWindow;
    if (rate < 0 || (rate == 0 && young)) {
        return done + kSeparator + QStringLiteral("measuring rate");
    }
    if (rate == 0) {
        return done + kSeparator + QStringLiteral("0 B/s") + kSeparator +
               QStringLiteral("time left unknown");
    }
    const double left = static_cast<double>(totalBytes_ - doneBytes()) / rate;
    return done + kSeparator + FormatBytes(rate) + QStringLiteral("/s") + kSeparator +
           FormatDuration(left) + QStringLiteral(" left");
}

QString FormatBytes(double bytes) {
    if (bytes < 1024) {
        return QString::number(std::llround(bytes)) + QStringLiteral(" B");
    }
    if (bytes < 1024.0 * 1024) {
        return QString::number(bytes / 1024, 'f', 1) + QStringLiteral(" KiB");
    }
    return QString::number(bytes / (1024.0 * 1024), 'f', 2) + QStringLiteral(" MiB");
}

QString FormatDuration(double seconds) {
    const long long total = std::max(0LL, std::llround(seconds));
    const long long hours = total / 3600;
    const long long minutes = total / 60 % 60;
    const QString secs = QStringLiteral("%1").arg(total % 60, 2, 10, QLatin1Char('0'));
    if (hours > 0) {
        return QStringLiteral("%1:%2:").arg(hours).arg(minutes, 2, 10, QLatin1Char('0')) + secs;
    }
    return QString::number(minutes) + QStringLiteral(":") + secs;
}

}  // namespace corvina
