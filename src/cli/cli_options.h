#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace corvina::cli {

// Where the modem is: "tcp:HOST[:PORT]" or "serial:PATH[@BAUD]".
struct ModemAddress {
    enum class Kind { None, Tcp, Serial };
    Kind kind = Kind::None;
    std::string host;            // Tcp
    std::uint16_t port = 3000;   // Tcp
    std::string device;          // Serial
    std::uint32_t baudRate = 0;  // Serial; 0 keeps the port's rate
};

enum class Command { Help, Send, Listen, Chat };

struct Options {
    Command command = Command::Help;
    bool help = false;           // --help after a subcommand
    std::filesystem::path file;  // send
    std::string to;              // send, chat: the station called
    std::filesystem::path into;  // listen
    ModemAddress modem;
    std::filesystem::path script;    // a startup script
    std::filesystem::path shutdown;  // commands for the orderly end
    std::filesystem::path log;       // transcript folder; empty: no transcript
    bool json = false;
    std::chrono::seconds timeout{0};  // 0: no limit
    std::uint8_t channel = 4;
};

// Parses "tcp:HOST[:PORT]" (a bracketed IPv6 host keeps its colons) or
// "serial:PATH[@BAUD]". False with `error` set for anything else.
bool ParseModemAddress(std::string_view text, ModemAddress& address, std::string& error);

// Parses the arguments after the program name. False with a one-line `error`
// for unknown options, missing values and a subcommand without what it needs.
bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error);

}  // namespace corvina::cli
