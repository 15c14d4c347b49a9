#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "link/socket_layer.h"

namespace corvina::net {

const std::uint32_t kConnectionRefused = ECONNREFUSED;
const std::uint32_t kTimedOut = ETIMEDOUT;

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

// poll rather than select: select cannot watch a descriptor numbered
// FD_SETSIZE or above, which a busy process may well hand out.
int WaitSocket(SocketHandle socket, bool forWrite, std::uint32_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd entry{socket, static_cast<short>(forWrite ? POLLOUT : POLLIN), 0};
        const int ready = poll(&entry, 1, static_cast<int>(std::max<long long>(left, 0)));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            return -1;
        }
        if (ready > 0 && (entry.revents & POLLNVAL) != 0) {
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
