#pragma once

// A loopback TCP relay that counts the bytes passing each way, so a test can
// watch the conversation between a transport and a real server.

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "tcp_test_server.h"

namespace corvina::testing {

class TcpRelay {
  public:
    // Relays every connection made to port() to 127.0.0.1:`target`, one at a
    // time.
    explicit TcpRelay(std::uint16_t target) : target_(target), thread_([this] { Run(); }) {}
    ~TcpRelay() {
        stop_ = true;
        thread_.join();
    }
    TcpRelay(const TcpRelay&) = delete;
    TcpRelay& operator=(const TcpRelay&) = delete;

    std::uint16_t port() const { return listener_.port(); }
    std::uint64_t toServer() const { return toServer_; }
    std::uint64_t toClient() const { return toClient_; }

  private:
    void Run() {
        while (!stop_) {
            ScopedFd client(listener_.Accept(std::chrono::milliseconds(50)));
            if (client.get() < 0) {
                continue;
            }
            ScopedFd server(socket(AF_INET, SOCK_STREAM, 0));
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(target_);
            if (connect(server.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
                continue;
            }
            Pump(client.get(), server.get());
        }
    }

    void Pump(int client, int server) {
        while (!stop_) {
            pollfd entries[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
            if (poll(entries, 2, 50) <= 0) {
                continue;
            }
            for (int i = 0; i < 2; ++i) {
                if (entries[i].revents == 0) {
                    continue;
                }
                std::uint8_t chunk[8192];
                const ssize_t n = read(entries[i].fd, chunk, sizeof chunk);
                if (n <= 0) {
                    return;
                }
                // Counted before passing on, so a reader who has the bytes
                // also sees them counted.
                (i == 0 ? toServer_ : toClient_) += static_cast<std::uint64_t>(n);
                const int to = i == 0 ? server : client;
                if (send(to, chunk, static_cast<std::size_t>(n), MSG_NOSIGNAL) != n) {
                    return;
                }
            }
        }
    }

    TcpTestServer listener_;
    std::uint16_t target_;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> toServer_{0};
    std::atomic<std::uint64_t> toClient_{0};
    std::thread thread_;
};

}  // namespace corvina::testing
