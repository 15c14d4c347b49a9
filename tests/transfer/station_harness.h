#pragma once

#include <unistd.h>

#include "sim/simulator.h"
#include "station.h"

namespace corvina::testing {

// A StationPair whose modems are simulated in this process, fresh for each
// test, so tests can reach into them (faults, counters).
class TwoStations : public StationPair {
  protected:
    static velksim::SimulatorOptions Options(double timeScale, bool overPty) {
        velksim::SimulatorOptions options;
        options.channel.timeScale = timeScale;
        for (const char* call : {"DK1AAA", "DK2BBB"}) {
            velksim::ModemOptions modem;
            modem.name = call;
            modem.pty = overPty;
            modem.ptyLink = std::filesystem::temp_directory_path() /
                            ("corvina-transfer-" + std::to_string(::getpid()) + "-" + call);
            options.modems.push_back(modem);
        }
        return options;
    }

    // With `overPty` the stations reach their modems over pseudo-terminals.
    explicit TwoStations(double timeScale = 20, bool callOnSetUp = true, bool overPty = false)
        : StationPair(callOnSetUp), sim(Options(timeScale, overPty)), overPty_(overPty) {}

    bool StartModems(std::string& error) override { return sim.Start(error); }
    std::uint16_t ModemPort(int modem) override {
        return sim.modem(static_cast<std::size_t>(modem)).tcpPort();
    }
    std::filesystem::path ModemPty(int modem) override {
        return overPty_ ? sim.modem(static_cast<std::size_t>(modem)).ptyLink()
                        : std::filesystem::path();
    }

    velksim::Simulator sim;

  private:
    bool overPty_;
};

}  // namespace corvina::testing
