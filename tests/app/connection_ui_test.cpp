#include "app/connection_ui.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvina {
namespace {

ConnectionFlags Session() {
    ConnectionFlags f;
    f.sessionActive = true;
    return f;
}

ConnectionFlags ArqLink() {
    ConnectionFlags f = Session();
    f.arqActive = true;
    return f;
}

TEST(ConnectionUi, WithoutSessionOnlyLinkChoiceIsOpen) {
    const ConnectionUiState ui = ComputeConnectionUi({});
    EXPECT_EQ(ui.portButtonText, "Connect");
    EXPECT_TRUE(ui.linkSelectionEnabled);
    EXPECT_TRUE(ui.netFindEnabled);
    EXPECT_TRUE(ui.linkSettingsEnabled);
    EXPECT_FALSE(ui.commandEnabled);
    EXPECT_FALSE(ui.transmitEnabled);
    EXPECT_FALSE(ui.callButtonEnabled);
    EXPECT_FALSE(ui.callSignEnabled);
    EXPECT_FALSE(ui.broadcastEnabled);
    EXPECT_FALSE(ui.fecModeEnabled);
    EXPECT_FALSE(ui.actionButtonsReady);

    ConnectionFlags searching;
    searching.discoveryRunning = true;
    EXPECT_FALSE(ComputeConnectionUi(searching).netFindEnabled);
}

TEST(ConnectionUi, IdleSessionOffersCallAndBroadcast) {
    ConnectionFlags f = Session();
    f.callSignLength = 1;
    ConnectionUiState ui = ComputeConnectionUi(f);
    EXPECT_EQ(ui.portButtonText, "Disconnect port");
    EXPECT_FALSE(ui.linkSelectionEnabled);
    EXPECT_FALSE(ui.linkSettingsEnabled);
    EXPECT_TRUE(ui.commandEnabled);
    EXPECT_TRUE(ui.callSignEnabled);
    EXPECT_FALSE(ui.callButtonEnabled) << "one character is not a call sign";
    EXPECT_TRUE(ui.broadcastEnabled);
    EXPECT_TRUE(ui.fecModeEnabled);
    EXPECT_TRUE(ui.actionButtonsReady);
    EXPECT_FALSE(ui.transmitEnabled);
    EXPECT_FALSE(ui.binaryButtonEnabled);
    EXPECT_FALSE(ui.disconnectEnabled);

    f.callSignLength = 2;
    ui = ComputeConnectionUi(f);
    EXPECT_TRUE(ui.callButtonEnabled);
    EXPECT_EQ(ui.callButtonText, "CONNECT");
}

TEST(ConnectionUi, CallInProgressTurnsCallButtonIntoAbort) {
    struct Case {
        const char* name;
        bool callPending, calling, abortPending;
        std::string_view text;
        bool enabled;
    };
    const std::vector<Case> cases = {
        {"pending", true, false, false, "ABORT CALL", true},
        {"calling", false, true, false, "ABORT CALL", true},
        {"abort requested", true, true, true, "ABORTING...", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConnectionFlags f = Session();
        f.callSignLength = 0;  // the abort needs no call sign
        f.callPending = c.callPending;
        f.calling = c.calling;
        f.abortPending = c.abortPending;
        const ConnectionUiState ui = ComputeConnectionUi(f);
        EXPECT_EQ(ui.callButtonText, c.text);
        EXPECT_EQ(ui.callButtonEnabled, c.enabled);
        EXPECT_FALSE(ui.callSignEnabled);
        EXPECT_FALSE(ui.broadcastEnabled);
        EXPECT_FALSE(ui.fecModeEnabled);
        EXPECT_FALSE(ui.actionButtonsReady);
    }
}

TEST(ConnectionUi, BroadcastStartAndEndLockTheBroadcastButton) {
    ConnectionFlags starting = Session();
    starting.fecStarting = true;
    starting.callSignLength = 5;
    ConnectionUiState ui = ComputeConnectionUi(starting);
    EXPECT_EQ(ui.broadcastButtonText, "STARTING...");
    EXPECT_FALSE(ui.broadcastEnabled);
    EXPECT_FALSE(ui.fecModeEnabled);
    EXPECT_FALSE(ui.callButtonEnabled);
    EXPECT_FALSE(ui.callSignEnabled);

    ConnectionFlags active = Session();
    active.fecActive = true;
    active.fecSending = true;
    ui = ComputeConnectionUi(active);
    EXPECT_EQ(ui.broadcastButtonText, "FEC END");
    EXPECT_EQ(ui.disconnectButtonText, "FEC END");
    EXPECT_TRUE(ui.broadcastEnabled);
    EXPECT_TRUE(ui.disconnectEnabled);
    EXPECT_TRUE(ui.transmitEnabled);
    EXPECT_FALSE(ui.fecModeEnabled);
    EXPECT_FALSE(ui.binaryButtonEnabled) << "binary files need an ARQ link";

    ConnectionFlags ending = active;
    ending.fecEnding = true;
    ui = ComputeConnectionUi(ending);
    EXPECT_FALSE(ui.broadcastEnabled);
    EXPECT_FALSE(ui.disconnectEnabled);
    EXPECT_FALSE(ui.transmitEnabled);
}

TEST(ConnectionUi, ArqLinkEnablesTransmitAndLinkActions) {
    const ConnectionUiState ui = ComputeConnectionUi(ArqLink());
    EXPECT_TRUE(ui.transmitEnabled);
    EXPECT_TRUE(ui.binaryButtonEnabled);
    EXPECT_TRUE(ui.changeoverEnabled);
    EXPECT_TRUE(ui.disconnectEnabled);
    EXPECT_EQ(ui.disconnectButtonText, "Disconnect ARQ");
    EXPECT_FALSE(ui.broadcastEnabled);
    EXPECT_FALSE(ui.callSignEnabled);
    EXPECT_FALSE(ui.actionButtonsReady);

    ConnectionFlags pending = ArqLink();
    pending.changeoverPending = true;
    EXPECT_FALSE(ComputeConnectionUi(pending).changeoverEnabled);
}

TEST(ConnectionUi, BusyTransfersLockTransmitButKeepBinaryAbort) {
    struct Case {
        const char* name;
        bool fileSend, incoming, binarySend, abortRequested;
        std::string_view binaryText;
        bool binaryEnabled;
    };
    const std::vector<Case> cases = {
        {"text file sending", true, false, false, false, "Send binary file...", false},
        {"file arriving", false, true, false, false, "Send binary file...", false},
        {"binary sending", true, false, true, false, "Abort binary transfer", true},
        {"binary aborting", true, false, true, true, "Aborting...", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConnectionFlags f = ArqLink();
        f.fileSendActive = c.fileSend;
        f.incomingTransferActive = c.incoming;
        f.binarySendActive = c.binarySend;
        f.binaryAbortRequested = c.abortRequested;
        const ConnectionUiState ui = ComputeConnectionUi(f);
        EXPECT_FALSE(ui.transmitEnabled);
        EXPECT_EQ(ui.binaryButtonText, c.binaryText);
        EXPECT_EQ(ui.binaryButtonEnabled, c.binaryEnabled);
        EXPECT_TRUE(ui.changeoverEnabled);
    }

    ConnectionFlags idleBusy = Session();
    idleBusy.incomingTransferActive = true;
    const ConnectionUiState ui = ComputeConnectionUi(idleBusy);
    EXPECT_FALSE(ui.broadcastEnabled);
    EXPECT_FALSE(ui.fecModeEnabled);
}

}  // namespace
}  // namespace corvina
