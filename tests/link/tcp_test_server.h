#pragma once

// What the link tests share: reads and writes with deadlines on the far end of
// a link, and a loopback listener whose accepted side the test plays. On
// Windows the only far ends the tests hold are sockets.

#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "link/socket_layer.h"
#include "link/transport.h"

namespace corvina::testing {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;
using Descriptor = net::SocketHandle;
inline constexpr Descriptor kNoDescriptor = net::kInvalidSocket;

#ifdef _WIN32
inline long ReadSome(Descriptor fd, std::uint8_t* data, std::size_t size) {
    return net::ReceiveSome(fd, data, size);
}
inline long WriteSome(Descriptor fd, const std::uint8_t* data, std::size_t size) {
    return net::SendSome(fd, data, size);
}
#else
inline long ReadSome(Descriptor fd, std::uint8_t* data, std::size_t size) {
    return static_cast<long>(read(fd, data, size));
}
inline long WriteSome(Descriptor fd, const std::uint8_t* data, std::size_t size) {
    return static_cast<long>(write(fd, data, size));
}
#endif

// Reads from the far end until `count` bytes arrived, it closed or `timeout`
// passed; returns what arrived.
inline Bytes ReadBytes(Descriptor fd, std::size_t count, std::chrono::milliseconds timeout) {
    Bytes got;
    for (const auto end = Clock::now() + timeout; got.size() < count && Clock::now() < end;) {
        if (net::WaitSocket(fd, false, 10) == 0) {
            continue;
        }
        std::uint8_t chunk[4096];
        const long n = ReadSome(fd, chunk, std::min(sizeof chunk, count - got.size()));
        if (n <= 0) {
            break;
        }
        got.insert(got.end(), chunk, chunk + n);
    }
    return got;
}

inline bool WriteAll(Descriptor fd, const Bytes& data) {
    for (std::size_t done = 0; done < data.size();) {
        const long n = WriteSome(fd, data.data() + done, data.size() - done);
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Reads from `transport` until `count` bytes arrived, a read failed or
// `timeout` passed; returns what arrived. Telnet answers go out from inside
// these reads.
inline Bytes ReadFromTransport(ITransport& transport, std::size_t count,
                               std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    Bytes got;
    const auto deadline = Clock::now() + timeout;
    while (got.size() < count && Clock::now() < deadline) {
        Bytes buffer(4096);
        std::string error;
        const std::int32_t n = transport.Read(buffer.data(), buffer.size(), 50, error);
        if (n < 0) {
            break;
        }
        got.insert(got.end(), buffer.begin(), buffer.begin() + n);
    }
    return got;
}

// Every byte value, most of them many times, 255 and 0xAA among them.
inline Bytes Pattern(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    }
    return bytes;
}

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
            net::CloseSocket(fd_);
        }
        fd_ = fd;
    }

  private:
    Descriptor fd_;
};

inline sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// A listening TCP socket on a free loopback port.
class TcpTestServer {
  public:
    explicit TcpTestServer(int backlog = 4) : listener_(net::OpenSocket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address = Loopback(0);
        bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(listener_.get(), backlog);
        socklen_t length = sizeof address;
        getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }

    std::uint16_t port() const { return port_; }

    // The next connection, or kNoDescriptor when none came within `timeout`.
    Descriptor Accept(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        if (net::WaitSocket(listener_.get(), false, static_cast<std::uint32_t>(timeout.count())) <=
            0) {
            return kNoDescriptor;
        }
        const net::SocketHandle accepted = accept(listener_.get(), nullptr, nullptr);
        return accepted == net::kInvalidSocket ? kNoDescriptor : accepted;
    }

  private:
    ScopedFd listener_;
    std::uint16_t port_ = 0;
};

// A listener whose accept queue is full, so that it drops further handshakes:
// a connect to it waits out its limit.
class UnansweredTcpServer {
  public:
    UnansweredTcpServer() : server_(0) {
        const sockaddr_in address = Loopback(server_.port());
        for (ScopedFd& filler : fillers_) {
            filler.Reset(net::OpenSocket(AF_INET, SOCK_STREAM, 0));
            net::SetBlocking(filler.get(), false);
            connect(filler.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }

    std::uint16_t port() const { return server_.port(); }

  private:
    TcpTestServer server_;
    std::array<ScopedFd, 3> fillers_;
};

}  // namespace corvina::testing
