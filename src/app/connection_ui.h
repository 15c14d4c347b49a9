#pragma once

#include <string_view>

namespace corvina {

// The flags that decide which connection and action controls the operator may
// use. The window gathers them from its own fields and the session's atomics.
struct ConnectionFlags {
    bool sessionActive = false;
    bool arqActive = false;
    bool fecSending = false;
    bool fecActive = false;
    bool fecStarting = false;
    bool fecEnding = false;
    bool callPending = false;
    bool abortPending = false;
    bool calling = false;
    bool fileSendActive = false;
    bool incomingTransferActive = false;
    bool binarySendActive = false;
    bool binaryAbortRequested = false;
    bool changeoverPending = false;
    bool discoveryRunning = false;
    // Characters in the call-sign box.
    int callSignLength = 0;
};

// Texts and enabled states of the connection and action controls. Texts are
// static literals, valid for the life of the program.
struct ConnectionUiState {
    std::string_view portButtonText;
    bool linkSelectionEnabled = false;  // selectors, COM port list, "Refresh", address box
    bool netFindEnabled = false;
    bool linkSettingsEnabled = false;  // TCP port box and channel box
    bool commandEnabled = false;       // modem-command line and "Execute"
    std::string_view binaryButtonText;
    std::string_view broadcastButtonText;
    std::string_view disconnectButtonText;
    bool transmitEnabled = false;  // transmit pane and "Send text file..."
    bool binaryButtonEnabled = false;
    bool changeoverEnabled = false;
    bool disconnectEnabled = false;
    bool fecModeEnabled = false;
    bool broadcastEnabled = false;
    std::string_view callButtonText;
    bool callSignEnabled = false;
    bool callButtonEnabled = false;
    // The call and broadcast buttons may be drawn in the green "ready" look
    // (the button must also be enabled and the system not in high contrast).
    bool actionButtonsReady = false;
};

// Pure: the state of the controls for `flags`.
ConnectionUiState ComputeConnectionUi(const ConnectionFlags& flags);

}  // namespace corvina
