#pragma once

// A listening TCP socket on 127.0.0.1 with a free port, for the Telnet tests.
// The test accepts and plays the modem's side on the accepted descriptor.

#include <chrono>
#include <cstdint>
#include <utility>

#include "fd_io.h"
#include "link/socket_layer.h"

namespace corvina::testing {

class TcpTestServer {
  public:
    explicit TcpTestServer(int backlog = 4) {
        listener_ = net::OpenSocket(AF_INET, SOCK_STREAM, 0);
        const int on = 1;
        setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on),
                   sizeof on);
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
        if (listener_ != net::kInvalidSocket) {
            net::CloseSocket(listener_);
        }
    }
    TcpTestServer(const TcpTestServer&) = delete;
    TcpTestServer& operator=(const TcpTestServer&) = delete;

    std::uint16_t port() const { return port_; }
    net::SocketHandle listener() const { return listener_; }

    // The next connection, or kNoDescriptor when none came within `timeout`.
    Descriptor Accept(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
        if (net::WaitSocket(listener_, false, static_cast<std::uint32_t>(timeout.count())) <= 0) {
            return kNoDescriptor;
        }
        const net::SocketHandle accepted = accept(listener_, nullptr, nullptr);
        return accepted == net::kInvalidSocket ? kNoDescriptor : accepted;
    }

  private:
    net::SocketHandle listener_ = net::kInvalidSocket;
    std::uint16_t port_ = 0;
};

// Closes a descriptor at the end of a scope.
class ScopedFd {
  public:
    explicit ScopedFd(Descriptor fd = kNoDescriptor) : fd_(fd) {}
    ~ScopedFd() { Reset(); }
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;
    Descriptor get() const { return fd_; }
    bool valid() const { return fd_ != kNoDescriptor; }
    Descriptor release() { return std::exchange(fd_, kNoDescriptor); }
    void Reset(Descriptor fd = kNoDescriptor) {
        if (fd_ != kNoDescriptor) {
            CloseDescriptor(fd_);
        }
        fd_ = fd;
    }

  private:
    Descriptor fd_;
};

}  // namespace corvina::testing
