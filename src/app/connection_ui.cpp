#include "app/connection_ui.h"

namespace corvina {

ConnectionUiState ComputeConnectionUi(const ConnectionFlags& f) {
    const bool transferBusy = f.fileSendActive || f.incomingTransferActive;
    const bool callInProgress = f.callPending || f.calling;
    // A station that may start a call or a broadcast now.
    const bool idleLink = f.sessionActive && !f.arqActive && !f.fecSending;

    ConnectionUiState ui;
    ui.portButtonText = f.sessionActive ? "Disconnect port" : "Connect";
    ui.linkSelectionEnabled = !f.sessionActive;
    ui.netFindEnabled = !f.sessionActive && !f.discoveryRunning;
    ui.linkSettingsEnabled = !f.sessionActive;
    ui.commandEnabled = f.sessionActive;

    if (f.binarySendActive) {
        ui.binaryButtonText = f.binaryAbortRequested ? "Aborting..." : "Abort binary transfer";
    } else {
        ui.binaryButtonText = "Send binary file...";
    }
    ui.broadcastButtonText =
        f.fecStarting ? "STARTING..." : (f.fecActive ? "FEC END" : "BROADCAST");
    ui.disconnectButtonText = f.fecActive ? "FEC END" : "Disconnect ARQ";

    ui.transmitEnabled =
        f.sessionActive && !transferBusy && (f.arqActive || f.fecActive) && !f.fecEnding;
    ui.binaryButtonEnabled = f.sessionActive && f.arqActive &&
                             (!transferBusy || (f.binarySendActive && !f.binaryAbortRequested));
    ui.changeoverEnabled = f.sessionActive && f.arqActive && !f.changeoverPending;
    ui.disconnectEnabled = f.sessionActive && (f.arqActive || (f.fecActive && !f.fecEnding));
    ui.fecModeEnabled = idleLink && !transferBusy && !callInProgress && !f.fecStarting;
    ui.broadcastEnabled = !f.fecStarting && !f.fecEnding &&
                          (f.fecActive || (idleLink && !transferBusy && !callInProgress));

    if (f.abortPending) {
        ui.callButtonText = "ABORTING...";
    } else {
        ui.callButtonText = callInProgress ? "ABORT CALL" : "CONNECT";
    }
    ui.callSignEnabled = idleLink && !f.fecStarting && !callInProgress;
    ui.callButtonEnabled =
        !f.abortPending && (callInProgress || (idleLink && !f.fecStarting && f.callSignLength > 1));

    ui.actionButtonsReady = f.sessionActive && !f.arqActive && !f.fecSending && !f.callPending &&
                            !f.calling && !f.fecStarting && !f.fecEnding;
    return ui;
}

}  // namespace corvina
