#pragma once

#include <string>

#include "cli/cli_options.h"
#include "cli/headless_station.h"

namespace corvina::cli {

// The subcommands. Each runs on the main thread from a station that has not
// connected yet and returns the process's exit status (exit_status.h); each
// leaves the session ended.
int RunSend(HeadlessStation& station, const Options& options);
int RunListen(HeadlessStation& station, const Options& options);
int RunChat(HeadlessStation& station, const Options& options);

// The --help text of `command` (Help: the overview).
std::string HelpText(Command command);

// The deadline --timeout sets from now; far in the future without one.
HeadlessStation::Clock::time_point DeadlineFrom(const Options& options);

}  // namespace corvina::cli
