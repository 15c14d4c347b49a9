#include <pthread.h>
#include <signal.h>

#include "cli/interrupt_watch.h"

namespace corvina::cli {
namespace {

// SIGUSR2 is how the owner wakes the watcher to stop it.
sigset_t WatchedSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGUSR2);
    return set;
}

}  // namespace

void InterruptWatch::BlockSignals() {
    // A peer that hangs up must not kill the process on the next write.
    signal(SIGPIPE, SIG_IGN);
    const sigset_t set = WatchedSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt)
    : onInterrupt_(std::move(onInterrupt)) {
    BlockSignals();
    thread_ = std::thread([this] { Watch(); });
}

InterruptWatch::~InterruptWatch() {
    stopping_ = true;
    pthread_kill(thread_.native_handle(), SIGUSR2);
    thread_.join();
}

void InterruptWatch::Watch() {
    const sigset_t set = WatchedSignals();
    while (!stopping_) {
        int received = 0;
        if (sigwait(&set, &received) != 0) {
            continue;
        }
        if (received != SIGUSR2 && !stopping_) {
            onInterrupt_();
        }
    }
}

}  // namespace corvina::cli
