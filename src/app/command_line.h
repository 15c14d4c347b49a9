#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "link/program_folders.h"

namespace corvina {

// The link --connect names for this run instead of "startup.txt"'s.
struct LinkOverride {
    bool serial = false;
    std::string host;        // tcp: host name or address (brackets removed)
    std::uint16_t port = 0;  // tcp: 0 keeps the Telnet port box as it is
    std::string devicePath;  // serial: the port's name or device path
};

enum class CommandLineAction {
    Run,      // open the window
    Help,     // print the usage and exit 0
    Version,  // print the version and exit 0
    Error,    // print `error` and exit 2
};

struct CommandLine {
    CommandLineAction action = CommandLineAction::Run;
    FolderRequest folders;  // `folder` as given; the caller makes it absolute
    std::optional<LinkOverride> connect;
    std::string error;  // for Error: what was wrong, without the program name
};

// Reads the arguments after the program name. The toolkit's own options
// ("-platform offscreen", "--style=fusion", "-reverse" ...) are let through
// for the toolkit; anything else unknown, and stray words, are errors. Pure.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// Prints what the Help, Version and Error actions ask for: help and version
// to `out`, errors to `err`. Returns the exit code for those actions, nothing
// for Run.
std::optional<int> AnswerWithoutWindow(const CommandLine& line, std::ostream& out,
                                       std::ostream& err);

}  // namespace corvina
