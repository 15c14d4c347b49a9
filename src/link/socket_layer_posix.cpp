#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

#include "link/socket_layer.h"

namespace corvina::net {

const std::uint32_t kConnectionRefused = ECONNREFUSED;
const std::uint32_t kTimedOut = ETIMEDOUT;
const std::uint32_t kCancelled = ECANCELED;

std::uint32_t LastSocketError() {
    return static_cast<std::uint32_t>(errno);
}

bool IsConnectPending(std::uint32_t code) {
    return code == EINPROGRESS || code == EWOULDBLOCK || code == EAGAIN;
}

bool SetBlocking(SocketHandle socket, bool blocking) {
    const int flags = fcntl(socket, F_GETFL, 0);
    if (flags < 0) {
        return false;
    }
    const int wanted = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return fcntl(socket, F_SETFL, wanted) == 0;
}

WaitCancel::WaitCancel() {
    if (pipe(wake_) != 0) {
        wake_[0] = wake_[1] = -1;
        return;
    }
    for (const int end : wake_) {
        fcntl(end, F_SETFD, FD_CLOEXEC);
        fcntl(end, F_SETFL, fcntl(end, F_GETFL, 0) | O_NONBLOCK);
    }
}

WaitCancel::~WaitCancel() {
    for (const int end : wake_) {
        if (end >= 0) {
            close(end);
        }
    }
}

void WaitCancel::Raise() {
    // One byte ever: the pipe never fills and nothing reads it.
    if (!raised_.exchange(true) && wake_[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t ignored = write(wake_[1], &byte, 1);
    }
}

// poll rather than select: select cannot watch a descriptor numbered
// FD_SETSIZE or above, which a busy process may well hand out.
int WaitSocket(SocketHandle socket, bool forWrite, std::uint32_t timeoutMs,
               const WaitCancel* cancel) {
    using Clock = std::chrono::steady_clock;
    constexpr long long kCancelSliceMs = 50;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const bool sliced = cancel != nullptr && cancel->wake_[0] < 0;
    for (;;) {
        if (cancel != nullptr && cancel->raised()) {
            errno = ECANCELED;
            return -1;
        }
        long long left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        left = std::clamp<long long>(left, 0, INT_MAX);
        pollfd entries[2] = {{socket, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0},
                             {cancel != nullptr ? cancel->wake_[0] : -1, POLLIN, 0}};
        const int ready =
            poll(entries, 2, static_cast<int>(sliced ? std::min(left, kCancelSliceMs) : left));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            return -1;
        }
        if (entries[1].revents != 0 || (ready == 0 && sliced && left > kCancelSliceMs)) {
            continue;  // the check at the top tells
        }
        if (ready > 0 && (entries[0].revents & POLLNVAL) != 0) {
            errno = EBADF;
            return -1;
        }
        // Hang-up and error count as ready: the following call reports them.
        return ready > 0 ? 1 : 0;
    }
}

long SendSome(SocketHandle socket, const std::uint8_t* data, std::size_t size) {
#ifdef MSG_NOSIGNAL
    constexpr int kFlags = MSG_NOSIGNAL;
#else
    constexpr int kFlags = 0;  // SO_NOSIGPIPE is set when the socket is made
#endif
    for (;;) {
        const ssize_t sent = send(socket, data, size, kFlags);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        return static_cast<long>(sent);
    }
}

long ReceiveSome(SocketHandle socket, std::uint8_t* data, std::size_t size) {
    for (;;) {
        const ssize_t got = recv(socket, data, size, 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        return static_cast<long>(got);
    }
}

long ReceiveDatagram(SocketHandle socket, std::uint8_t* data, std::size_t size, sockaddr_in& from) {
    for (;;) {
        socklen_t fromLength = sizeof from;
        const ssize_t got =
            recvfrom(socket, data, size, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        return static_cast<long>(got);
    }
}

SocketHandle OpenSocket(int family, int type, int protocol) {
    const SocketHandle socket = ::socket(family, type, protocol);
    if (socket < 0) {
        return kInvalidSocket;
    }
    fcntl(socket, F_SETFD, FD_CLOEXEC);
#ifdef SO_NOSIGPIPE
    int on = 1;
    setsockopt(socket, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
    return socket;
}

void ShutdownAndClose(SocketHandle socket) {
    shutdown(socket, SHUT_RDWR);
    close(socket);
}

void CloseSocket(SocketHandle socket) {
    close(socket);
}

}  // namespace corvina::net
