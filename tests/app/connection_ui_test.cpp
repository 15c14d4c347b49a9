#include "app/connection_ui.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <sstream>
#include <string>

namespace corvina {
namespace {

// Flags by name, as in "session arq binary"; a number is the call sign's length.
ConnectionFlags Flags(const std::string& names) {
    ConnectionFlags f;
    const std::map<std::string, bool*> members = {
        {"session", &f.sessionActive},
        {"arq", &f.arqActive},
        {"fecsending", &f.fecSending},
        {"fec", &f.fecActive},
        {"fecstarting", &f.fecStarting},
        {"fecending", &f.fecEnding},
        {"callpending", &f.callPending},
        {"abortpending", &f.abortPending},
        {"calling", &f.calling},
        {"file", &f.fileSendActive},
        {"incoming", &f.incomingTransferActive},
        {"binary", &f.binarySendActive},
        {"binaryabort", &f.binaryAbortRequested},
        {"changeover", &f.changeoverPending},
        {"searching", &f.discoveryRunning},
    };
    std::istringstream words(names);
    for (std::string word; words >> word;) {
        if (std::isdigit(static_cast<unsigned char>(word[0]))) {
            f.callSignLength = std::stoi(word);
        } else {
            *members.at(word) = true;
        }
    }
    return f;
}

// The controls the operator may use, by name.
std::string Enabled(const ConnectionUiState& ui) {
    const std::pair<bool, const char*> controls[] = {
        {ui.linkSelectionEnabled, "link"},    {ui.netFindEnabled, "find"},
        {ui.linkSettingsEnabled, "settings"}, {ui.commandEnabled, "command"},
        {ui.transmitEnabled, "transmit"},     {ui.binaryButtonEnabled, "binary"},
        {ui.changeoverEnabled, "changeover"}, {ui.disconnectEnabled, "disconnect"},
        {ui.fecModeEnabled, "fecmode"},       {ui.broadcastEnabled, "broadcast"},
        {ui.callSignEnabled, "callsign"},     {ui.callButtonEnabled, "call"},
        {ui.actionButtonsReady, "ready"},
    };
    std::string names;
    for (const auto& [enabled, name] : controls) {
        if (enabled) {
            names += (names.empty() ? "" : " ") + std::string(name);
        }
    }
    return names;
}

// The texts of the buttons that change: port, call, broadcast, binary file, disconnect.
std::string Texts(const ConnectionUiState& ui) {
    std::string texts;
    for (const std::string_view text :
         {ui.portButtonText, ui.callButtonText, ui.broadcastButtonText, ui.binaryButtonText,
          ui.disconnectButtonText}) {
        texts += (texts.empty() ? "" : "/") + std::string(text);
    }
    return texts;
}

TEST(ConnectionUi, ControlsFollowTheSessionLinkCallBroadcastAndTransfers) {
    const std::string off = "Connect/CONNECT/BROADCAST/Send binary file.../Disconnect ARQ";
    const std::string idle = "Disconnect port/CONNECT/BROADCAST/Send binary file.../Disconnect ARQ";
    const std::string calling =
        "Disconnect port/ABORT CALL/BROADCAST/Send binary file.../Disconnect ARQ";
    const std::string fec = "Disconnect port/CONNECT/FEC END/Send binary file.../FEC END";
    const struct {
        const char* flags;
        const char* enabled;
        std::string texts;
    } cases[] = {
        {"", "link find settings", off},
        {"searching", "link settings", off},
        // One character is no call sign.
        {"session 1", "command fecmode broadcast callsign ready", idle},
        {"session 2", "command fecmode broadcast callsign call ready", idle},
        {"session 2 incoming", "command callsign call ready", idle},
        // Aborting a call needs no call sign.
        {"session callpending", "command call", calling},
        {"session calling", "command call", calling},
        {"session callpending calling abortpending", "command",
         "Disconnect port/ABORTING.../BROADCAST/Send binary file.../Disconnect ARQ"},
        {"session fecstarting 5", "command",
         "Disconnect port/CONNECT/STARTING.../Send binary file.../Disconnect ARQ"},
        // Binary files need an ARQ link.
        {"session fec fecsending", "command transmit disconnect broadcast", fec},
        {"session fec fecsending fecending", "command", fec},
        {"session arq", "command transmit binary changeover disconnect", idle},
        {"session arq changeover", "command transmit binary disconnect", idle},
        {"session arq file", "command changeover disconnect", idle},
        {"session arq incoming", "command changeover disconnect", idle},
        {"session arq file binary", "command binary changeover disconnect",
         "Disconnect port/CONNECT/BROADCAST/Abort binary transfer/Disconnect ARQ"},
        {"session arq file binary binaryabort", "command changeover disconnect",
         "Disconnect port/CONNECT/BROADCAST/Aborting.../Disconnect ARQ"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        const ConnectionUiState ui = ComputeConnectionUi(Flags(c.flags));
        EXPECT_EQ(Enabled(ui), c.enabled);
        EXPECT_EQ(Texts(ui), c.texts);
    }
}

}  // namespace
}  // namespace corvina
