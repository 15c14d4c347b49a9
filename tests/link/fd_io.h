#pragma once

// Blocking-with-deadline helpers on raw descriptors for the link tests. On
// Windows the only descriptors the tests hold are sockets, so there the
// helpers work on sockets.

#ifndef _WIN32
#include <poll.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <vector>

#include "link/socket_layer.h"

namespace corvina::testing {

using Clock = std::chrono::steady_clock;

#ifdef _WIN32
using Descriptor = net::SocketHandle;
inline constexpr Descriptor kNoDescriptor = net::kInvalidSocket;

// 1 ready, 0 time-out, -1 failure.
inline int WaitDescriptor(Descriptor fd, bool forWrite, int timeoutMs) {
    return net::WaitSocket(fd, forWrite, static_cast<std::uint32_t>(timeoutMs));
}
// The count moved, 0 at end of stream, -1 on failure; kTryAgain when the call
// would have blocked or was interrupted.
inline constexpr long kTryAgain = -2;
inline long ReadSome(Descriptor fd, std::uint8_t* data, std::size_t size) {
    const long n = net::ReceiveSome(fd, data, size);
    return n < 0 && net::LastSocketError() == WSAEWOULDBLOCK ? kTryAgain : n;
}
inline long WriteSome(Descriptor fd, const std::uint8_t* data, std::size_t size) {
    const long n = net::SendSome(fd, data, size);
    return n < 0 && net::LastSocketError() == WSAEWOULDBLOCK ? kTryAgain : n;
}
inline void CloseDescriptor(Descriptor fd) {
    net::CloseSocket(fd);
}
#else
using Descriptor = int;
inline constexpr Descriptor kNoDescriptor = -1;

inline int WaitDescriptor(Descriptor fd, bool forWrite, int timeoutMs) {
    pollfd entry{fd, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
    const int ready = poll(&entry, 1, timeoutMs);
    return ready < 0 && errno == EINTR ? 0 : (ready > 0 ? 1 : ready);
}
inline constexpr long kTryAgain = -2;
inline long ReadSome(Descriptor fd, std::uint8_t* data, std::size_t size) {
    const ssize_t n = read(fd, data, size);
    return n < 0 && (errno == EINTR || errno == EAGAIN) ? kTryAgain : static_cast<long>(n);
}
inline long WriteSome(Descriptor fd, const std::uint8_t* data, std::size_t size) {
    const ssize_t n = write(fd, data, size);
    return n < 0 && (errno == EINTR || errno == EAGAIN) ? kTryAgain : static_cast<long>(n);
}
inline void CloseDescriptor(Descriptor fd) {
    close(fd);
}
#endif

inline int MsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Reads until `count` bytes arrived, the peer closed or `timeout` passed;
// returns what arrived.
inline std::vector<std::uint8_t> ReadBytes(Descriptor fd, std::size_t count,
                                           std::chrono::milliseconds timeout) {
    std::vector<std::uint8_t> got;
    const auto deadline = Clock::now() + timeout;
    while (got.size() < count) {
        const int ready = WaitDescriptor(fd, false, MsUntil(deadline));
        if (ready <= 0 && (ready < 0 || MsUntil(deadline) == 0)) {
            break;
        }
        if (ready == 0) {
            continue;
        }
        std::uint8_t chunk[4096];
        const std::size_t want = std::min(sizeof chunk, count - got.size());
        const long n = ReadSome(fd, chunk, want);
        if (n == kTryAgain) {
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
inline std::vector<std::uint8_t> ReadUntil(Descriptor fd, std::uint8_t terminator,
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

inline bool WriteAll(Descriptor fd, const std::vector<std::uint8_t>& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const long n = WriteSome(fd, data.data() + done, data.size() - done);
        if (n == kTryAgain) {
            WaitDescriptor(fd, true, 100);
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
