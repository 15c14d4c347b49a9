#pragma once

#include <cstdint>
#include <string>

namespace corvina {

// The three status bytes of a status poll, as the modem sends them.
struct StatusBytes {
    std::uint8_t status = 0;  // bits 0..2 state, bit 3 own station sends, bits 4..6 mode
    std::uint8_t level = 0;   // link level, 1..5 meaningful
    std::uint8_t speed = 0;   // speed level, 0-based
};

// The window's flags as they were before the poll.
struct StatusPrevious {
    bool arqActive = false;
    bool fecActive = false;
    bool fecStarting = false;
    bool fecEnding = false;
    bool callPending = false;
    bool peerConnected = false;
    bool fileSendActive = false;
    bool binarySendActive = false;
};

// What one poll means for the status row and for the window's flags.
struct StatusOutcome {
    std::string directionText;  // "SEND", "RECEIVE" or empty
    std::string stateText;      // the state word
    std::string modeText;
    bool sendIndicator = false;
    bool arqActive = false;
    bool fecSending = false;
    bool fecActive = false;
    bool calling = false;
    // A broadcast ended under a running text file send: stop that send with an
    // empty, non-error result.
    bool stopTextFileSend = false;
    // The modem confirmed a broadcast start: clear fecStarting, stop timer 2.
    bool fecStartConfirmed = false;
    // The modem confirmed a broadcast end: clear fecEnding, stop timer 2,
    // show "HOSTMODE ACTIVE".
    bool fecEndConfirmed = false;
    // The ARQ link went down since the previous poll: run the link clean-up.
    bool arqLinkEnded = false;
};

// The mode text of the status row for `bytes`.
std::string StatusModeText(const StatusBytes& bytes);

// Pure: decodes a poll against the previous flags. Every byte value maps to
// some text; nothing is rejected.
StatusOutcome DecodeStatus(const StatusBytes& bytes, const StatusPrevious& previous);

}  // namespace corvina
