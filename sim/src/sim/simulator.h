#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/channel.h"
#include "sim/discovery_responder.h"
#include "sim/modem.h"
#include "sim/options.h"

namespace velksim {

// One simulated radio channel with N modems, for tests and demos:
//
//   velksim::SimulatorOptions options;
//   options.channel.timeScale = 50;            // the radio runs 50x faster
//   options.modems.push_back({.name = "DEMO1"});
//   options.modems.push_back({.name = "DEMO2"});
//   velksim::Simulator sim(options);
//   std::string error;
//   if (!sim.Start(error)) { ... }
//   std::uint16_t port = sim.modem(0).tcpPort();  // connect a client here
//   sim.modem(1).faults().dropEveryNth = 5;        // lose every 5th answer
//   velksim::Counters seen = sim.modem(1).counters();
//   sim.Stop();                                    // also done by the destructor
//
// Modems listen on 127.0.0.1 with a free port unless told otherwise. Every
// thread is joined by Stop, which returns promptly. modem(i) and its accessors
// may be used from any thread between Start and destruction; the Simulator must
// outlive every reference to its modems.
class Simulator {
  public:
    explicit Simulator(SimulatorOptions options);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens every endpoint and starts the radio. On failure everything already
    // started is stopped again and `error` says why.
    bool Start(std::string& error);
    void Stop();

    std::size_t modemCount() const { return modems_.size(); }
    Modem& modem(std::size_t index) { return *modems_.at(index); }
    // The UDP port of the discovery responder; 0 when it is off.
    std::uint16_t discoveryPort() const { return discovery_ ? discovery_->port() : 0; }
    Channel& channel() { return channel_; }

  private:
    SimulatorOptions options_;
    Channel channel_;
    std::vector<std::unique_ptr<Modem>> modems_;
    std::unique_ptr<DiscoveryResponder> discovery_;
    bool started_ = false;
};

}  // namespace velksim
