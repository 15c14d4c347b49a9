#pragma once

// A listening TCP socket on 127.0.0.1 with a free port, for the Telnet tests.
// The test accepts and plays the modem's side on the accepted descriptor.

#include <array>
#include <chrono>
#include <cstdint>
#include <thread>
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

// A listener whose accept queue is full, so that it drops further handshakes:
// a connect to it waits out its limit.
class UnansweredTcpServer {
  public:
    UnansweredTcpServer() : server_(0) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(server_.port());
        for (ScopedFd& filler : fillers_) {
            filler.Reset(net::OpenSocket(AF_INET, SOCK_STREAM, 0));
            net::SetBlocking(filler.get(), false);
            connect(filler.get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }

    std::uint16_t port() const { return server_.port(); }

  private:
    TcpTestServer server_;
    std::array<ScopedFd, 3> fillers_;
};

}  // namespace corvina::testing
