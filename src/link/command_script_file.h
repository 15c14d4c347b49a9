#pragma once

#include <filesystem>
#include <string>

#include "cvhost/command_script.h"

namespace corvina {

// Scripts larger than this are refused rather than read.
inline constexpr std::uintmax_t kCommandScriptMaximumBytes = 65536;

// Reads and parses the command script `fileName` ("startup.txt",
// "shutdown.txt") in the executable's folder. `script` is reset first. An
// absent file is success with an empty script. Failures set `error` to
// "Could not locate command script beside executable", "Could not open " or
// "Could not read " + `fileName`, or `fileName` + ": " + the parser's message;
// `script` is then empty. On POSIX `comport=` may also name a device path.
// Any thread; reads the file once.
bool ReadOptionalCommandScript(const std::string& fileName, cvhost::CommandScript& script,
                               std::string& error);

// As above with the script looked for in `folder` instead of beside the
// executable.
bool ReadOptionalCommandScript(const std::filesystem::path& folder, const std::string& fileName,
                               cvhost::CommandScript& script, std::string& error);

}  // namespace corvina
