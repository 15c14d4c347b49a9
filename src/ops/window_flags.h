#pragma once

#include <cstdint>

namespace corvina {

// The window-thread flags of a station. Only the window thread reads or writes
// them; the flags shared with worker threads live in HostSession.
struct WindowFlags {
    bool sessionActive = false;  // a hostmode session runs (the session holds a transport)
    bool arqActive = false;      // last status poll: ARQ link active
    bool fecSending = false;     // last status poll: own FEC transmission, not standby
    bool fecActive = false;      // last status poll: FEC transmission of the first two levels
    bool fecStarting = false;    // a broadcast start awaits the modem's confirmation
    bool fecEnding = false;      // a broadcast end awaits the modem's confirmation
    bool sendIndicator = false;  // the direction label shows "SEND"
    bool callPending = false;    // an outgoing ARQ call was issued and not yet answered
    bool abortPending = false;   // abort of the pending call requested
    bool calling = false;        // callPending and no peer reported yet
    bool peerConnected = false;  // a link message named the connected peer
    bool statusIsError = false;  // the status line shows an error
    std::uint8_t level = 0;      // last status poll: the link's level

    bool CallInProgress() const { return callPending || calling; }

    // Clears the four call flags together.
    void ClearCallFlags() { callPending = abortPending = calling = peerConnected = false; }
};

}  // namespace corvina
