// setupapi.h relies on the declarations of windows.h.
// clang-format off
#include <windows.h>
#include <setupapi.h>
// clang-format on

#include <set>
#include <string>

#include "link/port_list.h"
#include "link/serial_ports.h"

namespace corvina {
namespace {

// The setup class of ports, {4D36E978-E325-11CE-BFC1-08002BE10318}.
constexpr GUID kPortsClass = {
    0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

constexpr DWORD kFriendlyNameBytes = 1024;
constexpr DWORD kPortNameBytes = 128;
constexpr DWORD kDosDeviceChars = 1024;
constexpr int kHighestComNumber = 256;

std::u16string FromWide(const wchar_t* text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text));
}

void CollectRegisteredPorts(std::vector<SerialPortInfo>& ports, std::set<std::u16string>& seen) {
    HDEVINFO devices = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE) {
        return;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        wchar_t friendly[kFriendlyNameBytes / sizeof(wchar_t)] = {};
        // Leave room for the terminator the registry may omit.
        SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_FRIENDLYNAME, nullptr,
                                          reinterpret_cast<BYTE*>(friendly),
                                          sizeof friendly - sizeof(wchar_t), nullptr);
        HKEY key =
            SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
        if (key == INVALID_HANDLE_VALUE) {
            continue;
        }
        wchar_t name[kPortNameBytes / sizeof(wchar_t)] = {};
        DWORD size = sizeof name - sizeof(wchar_t);
        const LONG status = RegQueryValueExW(key, L"PortName", nullptr, nullptr,
                                             reinterpret_cast<BYTE*>(name), &size);
        RegCloseKey(key);
        const std::u16string portName = FromWide(name);
        if (status != ERROR_SUCCESS || portName.rfind(u"COM", 0) != 0) {
            continue;
        }
        const std::u16string description = friendly[0] != 0 ? FromWide(friendly) : portName;
        if (seen.insert(portName).second) {
            ports.push_back({portName, description});
        }
    }
    SetupDiDestroyDeviceInfoList(devices);
}

}  // namespace

std::vector<SerialPortInfo> EnumerateSerialPorts() {
    std::vector<SerialPortInfo> ports;
    std::set<std::u16string> seen;
    CollectRegisteredPorts(ports, seen);
    for (int number = 1; number <= kHighestComNumber; ++number) {
        const std::wstring name = L"COM" + std::to_wstring(number);
        const std::u16string portName = FromWide(name.c_str());
        if (seen.count(portName) != 0) {
            continue;
        }
        wchar_t target[kDosDeviceChars] = {};
        if (QueryDosDeviceW(name.c_str(), target, kDosDeviceChars) != 0) {
            seen.insert(portName);
            ports.push_back({portName, portName});
        }
    }
    SortUniquePorts(ports);
    return ports;
}

}  // namespace corvina
