#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "sim/faults.h"
#include "sim/terminal_dialogue.h"

namespace velksim {

// Air rate of one SIRVEX level: the sending station's buffer goes on air in
// blocks of up to `blockBytes`, each taking blockBytes / bytesPerSecond seconds
// of simulated time.
struct LevelRate {
    double bytesPerSecond = 0;
    std::uint32_t blockBytes = 0;
};

// The shared radio medium. Every duration is simulated time: the channel runs
// `timeScale` times faster than the wall clock. The host program's own timings
// (answer waits, polls) are never scaled.
struct ChannelOptions {
    double timeScale = 1.0;
    // Index 1..4 is the level; index 0 is unused.
    std::array<LevelRate, 5> levels = {{{0, 0}, {30, 32}, {120, 64}, {320, 128}, {700, 256}}};
    // Level and 0-based speed level of ARQ links.
    std::uint8_t arqLevel = 3;
    std::uint8_t arqSpeed = 1;
    std::chrono::milliseconds connectDelay{2000};
    // An ARQ call that finds no free station gives up after this long.
    std::chrono::milliseconds callTimeout{15000};
    std::chrono::milliseconds turnaround{1000};
    std::chrono::milliseconds disconnectDelay{1000};
    // A data frame is refused with code 2 while this many frames wait.
    std::uint32_t maxBufferedFrames = 64;
};

// One simulated modem and the ways it can be reached.
struct ModemOptions {
    // Shown in discovery replies (at most 9 bytes) and used as the default call.
    std::string name = "VELK";
    // Own call sign at power-up; empty takes the name.
    std::string call;
    // TCP endpoint: loopback by default; port 0 picks a free port.
    bool tcp = true;
    std::string tcpAddress = "127.0.0.1";
    std::uint16_t tcpPort = 0;
    // Sends Telnet option offers at every connect.
    bool telnetOffers = false;
    // Pseudo-terminal endpoint, reachable through a symlink at `ptyLink` (an
    // existing symlink there is replaced; any other file is an error).
    bool pty = false;
    std::filesystem::path ptyLink;
    TerminalOptions terminal{"Velk simulated modem", "", false};
    // Hostmode channel that link output is reported on until the host has used
    // another one.
    std::uint8_t defaultChannel = 4;
    FaultSettings faults;
};

// Discovery responder: answers "DSCV" probes for every modem with a TCP port.
struct DiscoveryOptions {
    bool enabled = false;
    std::string address = "0.0.0.0";
    std::uint16_t port = 1101;  // 0 picks a free port (tests)
};

struct SimulatorOptions {
    ChannelOptions channel;
    std::vector<ModemOptions> modems;
    DiscoveryOptions discovery;
    // Seed of the random faults; each modem derives its own stream from it.
    std::uint64_t seed = 1;
    // When set, receives one line per frame in either direction and per link
    // event. Called with the simulator's lock held: it must not call back into
    // the simulator.
    std::function<void(const std::string&)> log;
};

}  // namespace velksim
