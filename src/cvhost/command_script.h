#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cvhost {

enum class ModemModel : std::int32_t {
    Hr5900 = 0,
    Hr3300 = 1,
    Hr3700 = 2,
    Ktm2 = 3,
};

// The "[Modem]" settings of a command script.
struct ModemConfiguration {
    ModemModel model = ModemModel::Hr5900;
    // 0 keeps the port's own rate; only a Ktm2 keeps any other value.
    std::uint32_t baudRate = 0;
    // "COM" and the number without leading zeros (COM3), or with POSIX naming an
    // absolute device path under /dev/ kept with its case; empty when not set.
    std::string comPort;
    // Lower-cased network modem address; empty when not set.
    std::string telnetHost;
    bool autostart = false;
    // Reopen the link by itself after it failed during a session.
    bool reconnect = true;
    // `log=on|off`: whether the session transcript is written (on unless off).
    bool log = true;

    bool operator==(const ModemConfiguration&) const = default;
};

// A parsed command script. Every command is a trimmed line of 1..256 bytes of
// printable ASCII and tab, without line terminator, in file order.
struct CommandScript {
    std::vector<std::vector<std::uint8_t>> terminalCommands;  // "[Term]" lines
    std::vector<std::vector<std::uint8_t>> hostmodeCommands;  // "[Host]" lines
    ModemConfiguration modem;

    bool operator==(const CommandScript&) const = default;
};

// How `comport=` names a serial port. Windows accepts COM1..COM256 only; Posix
// also accepts an absolute device path under /dev/. The caller decides by its
// platform; the parser never asks the system.
enum class PortNaming : std::int32_t {
    Windows = 0,
    Posix = 1,
};

// Parses a command script of `size` bytes at `data` into `script`. `script` is
// reset on entry; on success it holds the script and true is returned. On
// failure false is returned, `script` is left empty and, when `error` is not
// null, *error holds "line N: " and the message of the first offending line (or
// "command script input is null" for a null `data` with a non-zero `size`).
// Bad input never throws. Pure; any thread.
bool ParseCommandScript(const std::uint8_t* data, std::size_t size, CommandScript& script,
                        std::string* error = nullptr, PortNaming naming = PortNaming::Windows);

}  // namespace cvhost
