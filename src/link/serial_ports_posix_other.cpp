#include <dirent.h>

#include <memory>
#include <string_view>

#include "link/port_list.h"
#include "link/serial_ports.h"
#include "text/conversions.h"

namespace corvina {

// Without a device registry we can read (Linux has udev, macOS IOKit), the
// call-out devices in /dev are the serial ports.
std::vector<SerialPortInfo> EnumerateSerialPorts() {
    std::vector<SerialPortInfo> ports;
    std::unique_ptr<DIR, int (*)(DIR*)> folder(opendir("/dev"), closedir);
    if (!folder) {
        return ports;
    }
    while (const dirent* entry = readdir(folder.get())) {
        const std::string_view name = entry->d_name;
        if (name.starts_with("cu.")) {
            const std::u16string path = Utf8ToWide("/dev/" + std::string(name));
            ports.push_back({path, path});
        }
    }
    SortUniquePorts(ports);
    return ports;
}

}  // namespace corvina
