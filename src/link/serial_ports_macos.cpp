#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/IOKitLib.h>
#include <IOKit/serial/IOSerialKeys.h>

#include <memory>
#include <string>

#include "link/port_list.h"
#include "link/serial_ports.h"
#include "text/conversions.h"

namespace corvina {
namespace {

// Releases a Core Foundation object at scope end.
struct CfReleaser {
    void operator()(CFTypeRef object) const {
        if (object != nullptr) {
            CFRelease(object);
        }
    }
};
using CfHolder = std::unique_ptr<const void, CfReleaser>;

std::string Utf8(CFTypeRef value) {
    if (value == nullptr || CFGetTypeID(value) != CFStringGetTypeID()) {
        return {};
    }
    const auto text = static_cast<CFStringRef>(value);
    const CFIndex capacity =
        CFStringGetMaximumSizeForEncoding(CFStringGetLength(text), kCFStringEncodingUTF8) + 1;
    std::string buffer(static_cast<std::size_t>(capacity), '\0');
    if (!CFStringGetCString(text, buffer.data(), capacity, kCFStringEncodingUTF8)) {
        return {};
    }
    buffer.resize(std::char_traits<char>::length(buffer.c_str()));
    return buffer;
}

// A property of the port or of the USB device it hangs off.
std::string UsbText(io_object_t service, CFStringRef key) {
    const CfHolder value(
        IORegistryEntrySearchCFProperty(service, kIOServicePlane, key, kCFAllocatorDefault,
                                        kIORegistryIterateRecursively | kIORegistryIterateParents));
    return Utf8(value.get());
}

}  // namespace

// Each serial service has a call-in (tty.*) and a call-out (cu.*) device; only
// the call-out one is listed, since opening it does not wait for carrier.
std::vector<SerialPortInfo> EnumerateSerialPorts() {
    std::vector<SerialPortInfo> ports;
    CFMutableDictionaryRef matching = IOServiceMatching(kIOSerialBSDServiceValue);
    if (matching == nullptr) {
        return ports;
    }
    CFDictionarySetValue(matching, CFSTR(kIOSerialBSDTypeKey), CFSTR(kIOSerialBSDAllTypes));
    io_iterator_t services = 0;
    // The call takes over `matching`. MACH_PORT_NULL is the default main port.
    if (IOServiceGetMatchingServices(MACH_PORT_NULL, matching, &services) != KERN_SUCCESS) {
        return ports;
    }
    while (const io_object_t service = IOIteratorNext(services)) {
        const CfHolder callout(IORegistryEntryCreateCFProperty(service, CFSTR(kIOCalloutDeviceKey),
                                                               kCFAllocatorDefault, 0));
        const std::string path = Utf8(callout.get());
        if (!path.empty()) {
            const std::u16string portName = Utf8ToWide(path);
            ports.push_back({portName, FriendlyPortName(UsbText(service, CFSTR("USB Vendor Name")),
                                                        UsbText(service, CFSTR("USB Product Name")),
                                                        portName)});
        }
        IOObjectRelease(service);
    }
    IOObjectRelease(services);
    SortUniquePorts(ports);
    return ports;
}

}  // namespace corvina
