#pragma once

#include <string>
#include <vector>

#include "cvhost/command_script.h"

namespace cvhost {

enum StartupTransport : int {
    StartupNone = 0,    // no usable link configured
    StartupSerial = 1,  // the configured serial port is present
    StartupTelnet = 2,  // use the configured network address
};

// Chooses the link a script's "[Modem]" settings ask for, given the names of the
// serial ports present now (UTF-8, any order). A COM name matches a present port
// regardless of ASCII case; a device path must match exactly. An absent port
// falls back to the network address when one is set. `autostart` plays no
// part. Pure; any thread.
StartupTransport ChooseStartupTransport(const ModemConfiguration& modem,
                                        const std::vector<std::string>& availablePorts);

}  // namespace cvhost
