#pragma once

#include <QElapsedTimer>
#include <QTimer>

namespace corvina::soak {

// Watches the window thread: a timer due every `intervalMs` notes how late
// each tick runs. A tick later than `thresholdMs` beyond its due time is a
// stall. Window thread only.
class StallMonitor {
  public:
    explicit StallMonitor(int intervalMs = 5, int thresholdMs = 50)
        : intervalMs_(intervalMs), thresholdMs_(thresholdMs) {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    }

    void Start() {
        clock_.start();
        timer_.start(intervalMs_);
    }
    void Stop() { timer_.stop(); }

    int stalls() const { return stalls_; }
    qint64 longestMs() const { return longestMs_; }

  private:
    void Tick() {
        const qint64 late = clock_.restart() - intervalMs_;
        if (late > longestMs_) {
            longestMs_ = late;
        }
        if (late > thresholdMs_) {
            ++stalls_;
        }
    }

    int intervalMs_;
    int thresholdMs_;
    QTimer timer_;
    QElapsedTimer clock_;
    int stalls_ = 0;
    qint64 longestMs_ = 0;
};

}  // namespace corvina::soak
