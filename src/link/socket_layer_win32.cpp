#include <algorithm>
#include <climits>

#include "link/socket_layer.h"

namespace corvina::net {

const std::uint32_t kConnectionRefused = WSAECONNREFUSED;
const std::uint32_t kTimedOut = WSAETIMEDOUT;
const std::uint32_t kCancelled = WSAECANCELLED;

std::uint32_t LastSocketError() {
    return static_cast<std::uint32_t>(WSAGetLastError());
}

bool IsConnectPending(std::uint32_t code) {
    return code == WSAEWOULDBLOCK;
}

bool SetBlocking(SocketHandle socket, bool blocking) {
    u_long mode = blocking ? 0 : 1;
    return ioctlsocket(socket, FIONBIO, &mode) == 0;
}

WaitCancel::WaitCancel() = default;
WaitCancel::~WaitCancel() = default;

void WaitCancel::Raise() {
    raised_ = true;
}

namespace {

int WaitOnce(SocketHandle socket, bool forWrite, std::uint32_t timeoutMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    // A failed non-blocking connect shows only in the exception set.
    fd_set failed;
    FD_ZERO(&failed);
    FD_SET(socket, &failed);
    timeval limit{};
    limit.tv_sec = static_cast<long>(timeoutMs / 1000);
    limit.tv_usec = static_cast<long>((timeoutMs % 1000) * 1000);
    const int ready = forWrite ? select(0, nullptr, &set, &failed, &limit)
                               : select(0, &set, nullptr, nullptr, &limit);
    if (ready == SOCKET_ERROR) {
        return -1;
    }
    return ready > 0 ? 1 : 0;
}

}  // namespace

// select cannot watch anything but sockets, so a cancellable wait looks at the
// flag between short slices.
int WaitSocket(SocketHandle socket, bool forWrite, std::uint32_t timeoutMs,
               const WaitCancel* cancel) {
    if (cancel == nullptr) {
        return WaitOnce(socket, forWrite, timeoutMs);
    }
    constexpr std::uint32_t kSliceMs = 50;
    for (;;) {
        if (cancel->raised()) {
            WSASetLastError(WSAECANCELLED);
            return -1;
        }
        const std::uint32_t slice = std::min(timeoutMs, kSliceMs);
        const int ready = WaitOnce(socket, forWrite, slice);
        timeoutMs -= slice;
        if (ready != 0 || timeoutMs == 0) {
            return ready;
        }
    }
}

long SendSome(SocketHandle socket, const std::uint8_t* data, std::size_t size) {
    const int chunk = static_cast<int>(std::min<std::size_t>(size, INT_MAX));
    const int sent = send(socket, reinterpret_cast<const char*>(data), chunk, 0);
    return sent == SOCKET_ERROR ? -1 : sent;
}

long ReceiveSome(SocketHandle socket, std::uint8_t* data, std::size_t size) {
    const int chunk = static_cast<int>(std::min<std::size_t>(size, INT_MAX));
    const int got = recv(socket, reinterpret_cast<char*>(data), chunk, 0);
    return got == SOCKET_ERROR ? -1 : got;
}

long ReceiveDatagram(SocketHandle socket, std::uint8_t* data, std::size_t size, sockaddr_in& from) {
    int fromLength = sizeof from;
    const int chunk = static_cast<int>(std::min<std::size_t>(size, INT_MAX));
    const int got = recvfrom(socket, reinterpret_cast<char*>(data), chunk, 0,
                             reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (got != SOCKET_ERROR) {
        return got;
    }
    // The buffer holds the datagram's first `chunk` bytes and the rest is
    // gone, as on POSIX.
    return WSAGetLastError() == WSAEMSGSIZE ? chunk : -1;
}

SocketHandle OpenSocket(int family, int type, int protocol) {
    return ::socket(family, type, protocol);
}

void ShutdownAndClose(SocketHandle socket) {
    shutdown(socket, SD_BOTH);
    closesocket(socket);
}

void CloseSocket(SocketHandle socket) {
    closesocket(socket);
}

}  // namespace corvina::net
