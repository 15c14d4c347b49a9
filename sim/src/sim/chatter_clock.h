#pragma once

#include <algorithm>
#include <chrono>

namespace velksim {

// Paces a modem's unprompted terminal output on one endpoint thread: tells the
// thread how long it may block in poll() and when the next line falls due. The
// interval is read afresh at every call, so a change applies at once. Used by
// its endpoint thread only.
class ChatterClock {
  public:
    using Clock = std::chrono::steady_clock;

    // A line falls due at once (a client has just appeared).
    void Restart() { next_ = Clock::now(); }

    // True when a line is due now (and schedules the one after); never with a
    // zero interval.
    bool Due(std::chrono::milliseconds interval) {
        if (interval.count() <= 0) {
            return false;
        }
        const Clock::time_point now = Clock::now();
        if (now < next_) {
            return false;
        }
        next_ = now + interval;
        return true;
    }

    // A poll() timeout of at most `longestMs` that wakes for the next line.
    int PollTimeout(std::chrono::milliseconds interval, int longestMs) const {
        if (interval.count() <= 0) {
            return longestMs;
        }
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(next_ - Clock::now()).count();
        return static_cast<int>(std::clamp<long long>(left, 0, longestMs));
    }

  private:
    Clock::time_point next_ = Clock::now();
};

}  // namespace velksim
