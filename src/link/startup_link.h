#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "cvhost/command_script.h"
#include "link/serial_ports.h"

namespace corvina {

enum class StartupLinkAction {
    None,          // nothing configured; the link controls stay as they are
    Serial,        // select `serialIndex` of the listed ports
    SerialDevice,  // use `devicePath`, a terminal device the list leaves out
    Telnet,        // select the network link with the configured address
    Error,         // the configured link cannot be used; report `error`
};

struct StartupLinkChoice {
    StartupLinkAction action = StartupLinkAction::None;
    std::size_t serialIndex = 0;
    std::string devicePath;  // UTF-8, for SerialDevice
    std::string error;       // UTF-8, "startup.txt: ..." for Error, else empty
};

// What "startup.txt"'s `modem` settings make of the link controls, given the
// ports listed now in list order. A COM name matches regardless of ASCII case.
// A device path matches the listed port it names exactly, else the one it
// leads to through symlinks (a /dev/serial/by-id name finds /dev/ttyUSB0);
// one that matches nothing but is a terminal device is used as it is. A
// configured port that is absent falls back to the network address when one is
// set. Looks at the file system only for device paths; any thread.
StartupLinkChoice ChooseStartupLink(const cvhost::ModemConfiguration& modem,
                                    const std::vector<SerialPortInfo>& serialPorts);

}  // namespace corvina
