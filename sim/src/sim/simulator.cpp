#include "sim/simulator.h"

namespace velksim {

Simulator::Simulator(SimulatorOptions options)
    : options_(std::move(options)), channel_(options_.channel, options_.log) {
    std::uint64_t stream = 0;
    for (const ModemOptions& modemOptions : options_.modems) {
        // Distinct, reproducible fault streams per modem.
        const std::uint64_t seed = options_.seed * 0x9E3779B97F4A7C15ULL + ++stream;
        modems_.push_back(std::make_unique<Modem>(channel_, modemOptions, seed));
        channel_.Attach(modems_.back()->core());
    }
}

Simulator::~Simulator() {
    Stop();
}

bool Simulator::Start(std::string& error) {
    if (started_) {
        return true;
    }
    started_ = true;
    channel_.Start();
    for (auto& modem : modems_) {
        if (!modem->Start(error)) {
            Stop();
            return false;
        }
    }
    if (options_.discovery.enabled) {
        std::vector<DiscoveryEntry> entries;
        std::uint64_t serial = 0;
        for (const auto& modem : modems_) {
            ++serial;
            if (modem->tcpPort() != 0) {
                entries.push_back({modem->name(), modem->tcpPort(), serial});
            }
        }
        discovery_ = std::make_unique<DiscoveryResponder>(
            options_.discovery.address, options_.discovery.port, std::move(entries));
        if (!discovery_->Start(error)) {
            Stop();
            return false;
        }
    }
    return true;
}

void Simulator::Stop() {
    if (discovery_) {
        discovery_->Stop();
    }
    for (auto& modem : modems_) {
        modem->Stop();
    }
    channel_.Stop();
    started_ = false;
}

}  // namespace velksim
