#pragma once

// A listening TCP socket on 127.0.0.1 with a free port, for the Telnet tests.
// The test accepts and plays the modem's side on the accepted descriptor.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>

namespace corvina::testing {

class TcpTestServer {
  public:
    explicit TcpTestServer(int backlog = 4) {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        const int on = 1;
        setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_, backlog);
        socklen_t length = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~TcpTestServer() {
        if (listener_ >= 0) {
            close(listener_);
        }
    }
    TcpTestServer(const TcpTestServer&) = delete;
    TcpTestServer& operator=(const TcpTestServer&) = delete;

    std::uint16_t port() const { return port_; }
    int listener() const { return listener_; }

    // The next connection, or -1 when none came within `timeout`.
    int Accept(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
        pollfd entry{listener_, POLLIN, 0};
        if (poll(&entry, 1, static_cast<int>(timeout.count())) <= 0) {
            return -1;
        }
        return accept(listener_, nullptr, nullptr);
    }

  private:
    int listener_ = -1;
    std::uint16_t port_ = 0;
};

// Closes a descriptor at the end of a scope.
class ScopedFd {
  public:
    explicit ScopedFd(int fd = -1) : fd_(fd) {}
    ~ScopedFd() { Reset(); }
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;
    int get() const { return fd_; }
    void Reset(int fd = -1) {
        if (fd_ >= 0) {
            close(fd_);
        }
        fd_ = fd;
    }

  private:
    int fd_;
};

}  // namespace corvina::testing
