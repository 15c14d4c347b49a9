#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "link/transport.h"

namespace corvina {

// A new, closed serial transport for `portName`: COM3 on Windows, a device
// path such as /dev/ttyUSB0 on POSIX. Open makes the link raw 8N1 binary with
// no flow control, DTR and RTS raised, exclusive to this object, and purges
// whatever the driver held. This form keeps the port's own baud rate.
std::unique_ptr<ITransport> CreateSerialTransport(const std::u16string& portName);

// As above, but Open sets `baudRate` (0 keeps the port's rate). On POSIX only
// the standard rates are accepted; another rate makes Open fail.
std::unique_ptr<ITransport> CreateSerialTransport(const std::u16string& portName,
                                                  std::uint32_t baudRate);

}  // namespace corvina
