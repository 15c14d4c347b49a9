#pragma once

// A modem's discovery side for the tests: answers every "DSCV" probe on UDP
// port 1101 with the datagrams it was given, and counts the probes. Runs on
// its own thread inside a network namespace.

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "network_namespace.h"

namespace corvina::testing {

class DiscoveryResponder {
  public:
    DiscoveryResponder(const NetworkNamespace& space,
                       std::vector<std::vector<std::uint8_t>> answers)
        : answers_(std::move(answers)) {
        thread_ = std::thread([this, &space] {
            space.RunInside([this] { Serve(); });
            ready_ = true;  // also when the namespace could not be entered
        });
        while (!ready_) {
            std::this_thread::yield();
        }
    }
    ~DiscoveryResponder() {
        stop_ = true;
        thread_.join();
    }
    DiscoveryResponder(const DiscoveryResponder&) = delete;
    DiscoveryResponder& operator=(const DiscoveryResponder&) = delete;

    bool listening() const { return listening_; }
    int probes() const { return probes_; }

  private:
    void Serve() {
        const int fd = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(1101);
        listening_ = fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
        ready_ = true;
        while (listening_ && !stop_) {
            pollfd entry{fd, POLLIN, 0};
            if (poll(&entry, 1, 20) <= 0) {
                continue;
            }
            std::uint8_t probe[64];
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t n =
                recvfrom(fd, probe, sizeof probe, 0, reinterpret_cast<sockaddr*>(&from), &length);
            if (n != 4 || std::memcmp(probe, "DSCV", 4) != 0) {
                continue;
            }
            ++probes_;
            for (const auto& answer : answers_) {
                sendto(fd, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from),
                       length);
            }
        }
        if (fd >= 0) {
            close(fd);
        }
    }

    std::vector<std::vector<std::uint8_t>> answers_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> ready_{false};
    std::atomic<bool> listening_{false};
    std::atomic<int> probes_{0};
    std::thread thread_;
};

// A reply datagram of `size` bytes (cut short when below 32) with `magic`, the Telnet
// `port`, the name bytes `name` (at most 9) and recognisable filler values.
inline std::vector<std::uint8_t> MakeReply(std::uint16_t port, const std::string& name,
                                           std::size_t size = 32, const char* magic = "DSCV") {
    std::vector<std::uint8_t> reply(std::max<std::size_t>(size, 32), 0);
    std::memcpy(reply.data(), magic, 4);
    reply[5] = 0x5A;
    for (int i = 0; i < 8; ++i) {
        reply[12 + i] = static_cast<std::uint8_t>(0x11 * (i + 1));
    }
    reply[20] = static_cast<std::uint8_t>(port >> 8);
    reply[21] = static_cast<std::uint8_t>(port & 0xFF);
    std::memcpy(reply.data() + 23, name.data(), std::min<std::size_t>(name.size(), 9));
    reply.resize(size);
    return reply;
}

}  // namespace corvina::testing
