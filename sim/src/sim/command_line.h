#pragma once

#include <string>
#include <vector>

#include "sim/options.h"

namespace velksim {

// What the velksim command line asks for.
struct CommandLine {
    SimulatorOptions options;
    bool logFrames = false;
    bool help = false;
};

// Parses the arguments after the program name. On failure returns false and
// `error` says which argument is wrong. Pure; any thread.
//
//   --modem NAME@ENDPOINT[,ENDPOINT|OPTION...]   (repeatable)
//       ENDPOINT: tcp:ADDRESS:PORT | tcp:PORT | pty:PATH
//       OPTION:   call=CALL telnet-offers menu=pac silent banner=TEXT
//                 drop-every=N drop-p=P corrupt-every=N late-every=N late-ms=N
//                 garbage-every=N marker-every=N reject-data frames-waiting=N
//                 close-at=N lose-link-after=BYTES
//   --discovery[=ADDRESS:PORT]   --time-scale X   --arq-level N
//   --level N:BYTES_PER_SECOND[:BLOCK_BYTES]   --seed N   --log-frames   --help
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& result,
                      std::string& error);

// The text printed by --help.
std::string UsageText();

}  // namespace velksim
