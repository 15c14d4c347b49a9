#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace velksim {

class ModemCore;

using Clock = std::chrono::steady_clock;

// One connection on the radio channel: an ARQ link between two modems (or a
// call still looking for its station), or an FEC broadcast from one modem to
// every free one. Owned by the Channel; the modems point at it while they take
// part. Every field is guarded by the channel's lock.
struct Link {
    enum class Kind { Arq, Fec };
    enum class Phase {
        Calling,  // ARQ: the call is on its way; stations[1] is not known yet
        Up,       // the sending station's buffer goes on air
        Turning,  // ARQ changeover in progress
        Closing,  // ARQ disconnect in progress
        Ended,    // waiting to be removed
    };

    Kind kind = Kind::Arq;
    Phase phase = Phase::Calling;
    // [0]: the caller or the broadcasting station; [1]: the called station.
    ModemCore* stations[2] = {nullptr, nullptr};
    std::string target;  // the call sign that was called
    bool targetFound = false;
    int sender = 0;  // index into stations of the information sending station
    std::uint8_t level = 0;
    std::uint8_t speed = 0;
    Clock::time_point due = Clock::time_point::max();  // next phase change or block end
    std::size_t inFlight = 0;                          // bytes of the block on air
    bool turnRequested = false;
    bool breakIn = false;               // asked for by the receiving station
    ModemCore* disconnectBy = nullptr;  // a "D" waiting for the buffer to drain
    std::uint64_t airBytes = 0;

    ModemCore* Sender() const { return stations[sender]; }
    ModemCore* Receiver() const { return stations[1 - sender]; }
    ModemCore* Other(const ModemCore* station) const {
        return stations[0] == station ? stations[1] : stations[0];
    }
};

}  // namespace velksim
