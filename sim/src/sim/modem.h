#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "sim/faults.h"
#include "sim/modem_core.h"
#include "sim/options.h"

namespace velksim {

class Channel;
class PtyEndpoint;
class TcpEndpoint;

// One simulated modem with its endpoints, as tests and the command line see it.
// Created and started by the Simulator; every accessor may be called from any
// thread while the simulator runs.
class Modem {
  public:
    Modem(Channel& channel, ModemOptions options, std::uint64_t seed);
    ~Modem();
    Modem(const Modem&) = delete;
    Modem& operator=(const Modem&) = delete;

    bool Start(std::string& error);
    void Stop();

    const std::string& name() const { return options_.name; }
    const ModemOptions& options() const { return options_; }
    // The TCP port clients connect to; 0 without a TCP endpoint.
    std::uint16_t tcpPort() const;
    // The stable path of the serial port, and the device it leads to now; empty
    // without a pseudo-terminal endpoint.
    std::filesystem::path ptyLink() const;
    std::string ptyDevice() const;

    // Faults may be changed at any time and apply from the next request.
    Faults& faults() { return core_.faults(); }
    Counters counters() const { return core_.counters(); }
    std::string call() const { return core_.call(); }
    bool inHostmode() const { return core_.inHostmode(); }
    StatusBytes status() const { return core_.status(); }

    // Closes the TCP client and hangs up the pseudo-terminal now.
    void DropClient();
    // Breaks this modem's radio link at once (both stations are told).
    void LoseLink();

    ModemCore& core() { return core_; }

  private:
    Channel& channel_;
    ModemOptions options_;
    ModemCore core_;
    std::unique_ptr<TcpEndpoint> tcp_;
    std::unique_ptr<PtyEndpoint> pty_;
};

}  // namespace velksim
