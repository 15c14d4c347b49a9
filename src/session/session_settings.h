#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

namespace corvina {

// What the window hands to HostSession::Start besides the opened transport.
struct SessionSettings {
    std::uint8_t linkChannel = 4;  // the operator's hostmode channel, 1..31
    bool isTelnetLink = false;     // the transport is the TCP link
    // The start-up script's "[Term]" and "[Host]" lists, in file order.
    std::vector<std::vector<std::uint8_t>> terminalCommands;
    std::vector<std::vector<std::uint8_t>> hostmodeCommands;
    // How long the modem may keep refusing channel data while the link still
    // looks up before the queued data is dropped and a running file send
    // ends. A link that ends drops the data at its end anyway.
    std::chrono::milliseconds refusedDataLimit{30000};
};

// Limits of the terminal dialogue that are not part of the modem conversation.
struct TerminalDialogueLimits {
    // Longest the whole terminal dialogue of a start waits for the modem to
    // fall silent. A modem that keeps printing (a busy channel monitored on its
    // terminal) would otherwise hold the connection attempt for ever; once the
    // limit has passed, the remaining steps send their bytes without waiting.
    std::chrono::milliseconds dialogueLimit{15000};
};

}  // namespace corvina
