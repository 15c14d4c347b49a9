#pragma once

// The thin layer between the network links and the platform's sockets: BSD
// sockets on POSIX, Winsock on Windows (whose use the application starts before
// any link opens). Including this header brings in the platform's socket
// declarations (sockaddr, getaddrinfo, ...).

#include <atomic>
#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace corvina::net {

#ifdef _WIN32
using SocketHandle = SOCKET;
inline constexpr SocketHandle kInvalidSocket = INVALID_SOCKET;
#else
using SocketHandle = int;
inline constexpr SocketHandle kInvalidSocket = -1;
#endif

// Error codes the links remember or compare, in the platform's numbering.
extern const std::uint32_t kConnectionRefused;
extern const std::uint32_t kTimedOut;
extern const std::uint32_t kCancelled;

// Lets another thread end socket waits early. Once raised it stays raised:
// the wait under way and every later one that watches it end at once.
class WaitCancel {
  public:
    WaitCancel();
    ~WaitCancel();
    WaitCancel(const WaitCancel&) = delete;
    WaitCancel& operator=(const WaitCancel&) = delete;

    // Any thread, any number of times.
    void Raise();
    bool raised() const { return raised_.load(); }

  private:
    friend int WaitSocket(SocketHandle, bool, std::uint32_t, const WaitCancel*);

    std::atomic<bool> raised_{false};
#ifndef _WIN32
    // The read end wakes a poll; -1 when no pipe could be made, and the wait
    // then looks at `raised_` in short slices.
    int wake_[2] = {-1, -1};
#endif
};

// The calling thread's last socket error code.
std::uint32_t LastSocketError();

// True when a non-blocking connect reported `code` because it is still under
// way.
bool IsConnectPending(std::uint32_t code);

// Switches `socket` between blocking and non-blocking mode.
bool SetBlocking(SocketHandle socket, bool blocking);

// Waits up to `timeoutMs` for `socket` to become readable (or writable when
// `forWrite`). Returns 1 when ready, 0 on time-out, -1 on failure with the
// cause in LastSocketError. An interrupted wait resumes with the time left.
// A connect that failed counts as ready at once (Winsock reports it apart from
// writability), so the following SO_ERROR query gives its cause. With
// `cancel`, a raised cancel ends the wait with -1 and kCancelled.
int WaitSocket(SocketHandle socket, bool forWrite, std::uint32_t timeoutMs,
               const WaitCancel* cancel = nullptr);

// Sends up to `size` bytes once; returns the count sent or -1. A peer that has
// gone away yields -1 and never a process signal. Interrupted calls retry.
long SendSome(SocketHandle socket, const std::uint8_t* data, std::size_t size);

// Receives up to `size` bytes once; returns the count, 0 when the peer closed,
// -1 on failure. Interrupted calls retry.
long ReceiveSome(SocketHandle socket, std::uint8_t* data, std::size_t size);

// Receives one datagram into `data`, its sender into `from`. A datagram longer
// than `size` is cut to `size` bytes on every platform (Winsock would report
// it as an error). Returns the count kept, or -1.
long ReceiveDatagram(SocketHandle socket, std::uint8_t* data, std::size_t size, sockaddr_in& from);

// Creates a socket as socket() does; on POSIX it is closed on exec and never
// raises SIGPIPE. kInvalidSocket on failure, with the cause in LastSocketError.
SocketHandle OpenSocket(int family, int type, int protocol);

// Shuts down both directions and releases the socket.
void ShutdownAndClose(SocketHandle socket);

// Releases the socket without a shutdown.
void CloseSocket(SocketHandle socket);

}  // namespace corvina::net
