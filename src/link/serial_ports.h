#pragma once

#include <string>
#include <vector>

namespace corvina {

struct SerialPortInfo {
    std::u16string portName;     // name that opens the port: COM3, /dev/ttyUSB0
    std::u16string description;  // the device's friendly name, else the port name

    bool operator==(const SerialPortInfo&) const = default;
};

// The serial ports present now, from the system's device registry (libudev on
// Linux, SetupAPI plus the DOS device names on Windows), sorted by `portName`
// in code-unit order with no name twice. Never fails: an empty list when
// nothing is found. Blocking but short; any thread.
std::vector<SerialPortInfo> EnumerateSerialPorts();

}  // namespace corvina
