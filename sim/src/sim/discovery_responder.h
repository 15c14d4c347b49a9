#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "sim/posix_io.h"

namespace velksim {

// One network modem as a discovery reply announces it.
struct DiscoveryEntry {
    std::string name;  // at most 9 bytes are sent
    std::uint16_t tcpPort = 0;
    std::uint64_t serial = 0;
};

// Reply datagram, 32 bytes, numbers big-endian:
//   "DSCV" | 0 | kind byte | 6 x 0 | 64-bit serial | TCP port | 0 | name (9, blank padded)
std::vector<std::uint8_t> BuildDiscoveryReply(const DiscoveryEntry& entry);

// Answers every "DSCV" probe on its UDP port with one reply per entry, sent back
// to the prober. Owns its thread; prompt Stop.
class DiscoveryResponder {
  public:
    DiscoveryResponder(std::string address, std::uint16_t port,
                       std::vector<DiscoveryEntry> entries);
    ~DiscoveryResponder();
    DiscoveryResponder(const DiscoveryResponder&) = delete;
    DiscoveryResponder& operator=(const DiscoveryResponder&) = delete;

    bool Start(std::string& error);
    void Stop();
    std::uint16_t port() const { return boundPort_; }
    std::uint64_t probesAnswered() const { return probes_.load(); }

  private:
    void Run();

    std::string address_;
    std::uint16_t port_;
    std::vector<DiscoveryEntry> entries_;
    std::uint16_t boundPort_ = 0;
    UniqueFd socket_;
    WakePipe wake_;
    std::atomic<bool> stop_{false};
    std::atomic<std::uint64_t> probes_{0};
    std::thread thread_;
};

}  // namespace velksim
