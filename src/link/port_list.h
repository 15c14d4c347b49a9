#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "link/serial_ports.h"

namespace corvina {

// The pure rules behind the COM port list box. Any thread.

// Sorts by `portName` in code-unit order and keeps the first entry of every
// name, so an earlier (better described) source wins over a later one.
void SortUniquePorts(std::vector<SerialPortInfo>& ports);

// True when `description` holds the maker's name, ASCII case ignored.
bool IsMakerPort(std::u16string_view description);

// Moves the maker's devices to the front, keeping the order inside both groups.
void OrderMakerPortsFirst(std::vector<SerialPortInfo>& ports);

// The list box text for a description: a leading "=" before the maker's name
// is dropped, and the first "CoVheron" becomes "CVheron".
std::u16string SerialPortLabel(std::u16string_view description);

// The entry to select after a refresh: the one whose `portName` equals
// `previousPortName` exactly, else 0. Meaningless for an empty list.
std::size_t SelectionAfterRefresh(const std::vector<SerialPortInfo>& ports,
                                  std::u16string_view previousPortName);

// A friendly name from the device registry's vendor and model texts (either
// may be empty): "vendor model (ttyUSB0)", or `portName` when both are empty.
// Underscores, which udev puts in place of blanks, become blanks again.
std::u16string FriendlyPortName(std::string_view vendor, std::string_view model,
                                std::u16string_view portName);

}  // namespace corvina
