#pragma once

#include <filesystem>
#include <string>

namespace corvina {

// Hints that tell a Linux operator why a serial port misbehaves. On other
// systems both give an empty text. Blocking but short; any thread.

// The process that has `devicePath` open, as "name (pid N)", found by
// following the descriptors listed under `procRoot`; empty when none can be
// seen (processes of other users are usually hidden).
std::string SerialPortHolder(const std::string& devicePath,
                             const std::filesystem::path& procRoot = "/proc");

// A one-paragraph hint (UTF-8) when `devicePath` leads to an FTDI adapter
// whose latency timer, read under `sysRoot`, is above 2 ms: every answer of
// the modem then waits up to that long in the adapter. Empty otherwise.
std::string SerialLatencyHint(const std::string& devicePath,
                              const std::filesystem::path& sysRoot = "/sys");

}  // namespace corvina
