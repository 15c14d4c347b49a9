#include <libudev.h>

#include <memory>
#include <string_view>

#include "link/port_list.h"
#include "link/serial_ports.h"
#include "text/conversions.h"

namespace corvina {
namespace {

struct UdevDeleter {
    void operator()(udev* context) const { udev_unref(context); }
    void operator()(udev_enumerate* list) const { udev_enumerate_unref(list); }
    void operator()(udev_device* device) const { udev_device_unref(device); }
};

constexpr std::string_view kStableNameFolder = "/dev/serial/by-id/";

template <typename T>
using UdevPtr = std::unique_ptr<T, UdevDeleter>;

std::string_view Text(const char* value) {
    return value != nullptr ? value : "";
}

// The database names are the readable ones; the device's own strings are the
// fallback.
std::string_view Property(udev_device* device, const char* preferred, const char* fallback) {
    const std::string_view value = Text(udev_device_get_property_value(device, preferred));
    return value.empty() ? Text(udev_device_get_property_value(device, fallback)) : value;
}

// Virtual terminals, pseudo-terminals and the like have no device behind
// them; the serial core also registers 8250 slots with no UART fitted, which
// report the unknown port type 0.
bool HasRealDevice(udev_device* device) {
    const std::string_view path = Text(udev_device_get_syspath(device));
    if (path.starts_with("/sys/devices/virtual/") || udev_device_get_parent(device) == nullptr) {
        return false;
    }
    const char* type = udev_device_get_sysattr_value(device, "type");
    return type == nullptr || std::string_view(type) != "0";
}

}  // namespace

std::vector<SerialPortInfo> EnumerateSerialPorts() {
    std::vector<SerialPortInfo> ports;
    UdevPtr<udev> context(udev_new());
    if (!context) {
        return ports;
    }
    UdevPtr<udev_enumerate> list(udev_enumerate_new(context.get()));
    if (!list || udev_enumerate_add_match_subsystem(list.get(), "tty") < 0 ||
        udev_enumerate_scan_devices(list.get()) < 0) {
        return ports;
    }
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(list.get())) {
        UdevPtr<udev_device> device(
            udev_device_new_from_syspath(context.get(), udev_list_entry_get_name(entry)));
        if (!device || !HasRealDevice(device.get())) {
            continue;
        }
        const std::string_view node = Text(udev_device_get_devnode(device.get()));
        if (node.empty()) {
            continue;
        }
        const std::u16string portName = Utf8ToWide(node);
        // The kernel name changes with the plugging order; udev's by-id name
        // stays the same for the same adapter, so it is listed as a choice too.
        udev_list_entry* link = nullptr;
        udev_list_entry_foreach(link, udev_device_get_devlinks_list_entry(device.get())) {
            const std::string_view alias = Text(udev_list_entry_get_name(link));
            if (alias.starts_with(kStableNameFolder)) {
                const std::u16string stable = Utf8ToWide(alias);
                ports.push_back({stable, stable});
            }
        }
        ports.push_back(
            {portName,
             FriendlyPortName(Property(device.get(), "ID_VENDOR_FROM_DATABASE", "ID_VENDOR"),
                              Property(device.get(), "ID_MODEL_FROM_DATABASE", "ID_MODEL"),
                              portName)});
    }
    SortUniquePorts(ports);
    return ports;
}

}  // namespace corvina
