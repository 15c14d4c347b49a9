#pragma once

#include <atomic>
#include <functional>
#include <thread>

namespace corvina::cli {

// Turns SIGINT and SIGTERM into calls of `onInterrupt` on a thread of its own,
// so nothing runs inside a signal handler. The constructor blocks both
// signals in the calling thread, which every thread started later inherits:
// build it before any other thread starts. `onInterrupt` must be safe to call
// from another thread and its target must outlive this object. The
// destructor stops and joins the watching thread.
class InterruptWatch {
  public:
    explicit InterruptWatch(std::function<void()> onInterrupt);
    ~InterruptWatch();

    // Blocks the watched signals in the calling thread, and so in every thread
    // it starts from now on. The constructor does it too; call this first
    // when other threads must start before the watch.
    static void BlockSignals();

    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

  private:
    void Watch();

    std::function<void()> onInterrupt_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace corvina::cli
