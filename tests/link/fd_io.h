#pragma once

// Blocking-with-deadline helpers on raw descriptors for the link tests.

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <vector>

namespace corvina::testing {

using Clock = std::chrono::steady_clock;

inline int MsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Reads until `count` bytes arrived, the peer closed or `timeout` passed;
// returns what arrived.
inline std::vector<std::uint8_t> ReadBytes(int fd, std::size_t count,
                                           std::chrono::milliseconds timeout) {
    std::vector<std::uint8_t> got;
    const auto deadline = Clock::now() + timeout;
    while (got.size() < count) {
        pollfd entry{fd, POLLIN, 0};
        const int ready = poll(&entry, 1, MsUntil(deadline));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            break;
        }
        std::uint8_t chunk[4096];
        const std::size_t want = std::min(sizeof chunk, count - got.size());
        const ssize_t n = read(fd, chunk, want);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        got.insert(got.end(), chunk, chunk + n);
    }
    return got;
}

// Reads until `terminator` arrived (included in the result) or `timeout`
// passed.
inline std::vector<std::uint8_t> ReadUntil(int fd, std::uint8_t terminator,
                                           std::chrono::milliseconds timeout) {
    std::vector<std::uint8_t> got;
    const auto deadline = Clock::now() + timeout;
    while (got.empty() || got.back() != terminator) {
        const std::vector<std::uint8_t> one =
            ReadBytes(fd, 1, std::chrono::milliseconds(MsUntil(deadline)));
        if (one.empty()) {
            break;
        }
        got.push_back(one[0]);
    }
    return got;
}

inline bool WriteAll(int fd, const std::vector<std::uint8_t>& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            pollfd entry{fd, POLLOUT, 0};
            poll(&entry, 1, 100);
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

inline std::vector<std::uint8_t> AllByteValues() {
    std::vector<std::uint8_t> bytes(256);
    for (int i = 0; i < 256; ++i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    }
    return bytes;
}

}  // namespace corvina::testing
