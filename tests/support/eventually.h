#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace corvina::testing {

// Polls `condition` until it holds; false when `timeout` passed first. For
// threads other than a window's: nothing here pumps an event loop.
inline bool Eventually(const std::function<bool()>& condition,
                       std::chrono::milliseconds timeout = std::chrono::seconds(3)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace corvina::testing
