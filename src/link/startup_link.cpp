#include "link/startup_link.h"

#include <algorithm>

#include "cvhost/startup_transport.h"
#include "link/terminal_device.h"
#include "text/conversions.h"

namespace corvina {
namespace {

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Windows port names ignore case; device paths are case-sensitive.
bool SamePort(const std::string& configured, const std::string& listed) {
    if (configured.starts_with('/')) {
        return configured == listed;
    }
    return configured.size() == listed.size() &&
           std::equal(configured.begin(), configured.end(), listed.begin(),
                      [](char a, char b) { return AsciiLower(a) == AsciiLower(b); });
}

StartupLinkChoice Failure(std::string message) {
    return {StartupLinkAction::Error, 0, {}, "startup.txt: " + std::move(message)};
}

}  // namespace

StartupLinkChoice ChooseStartupLink(const cvhost::ModemConfiguration& modem,
                                    const std::vector<SerialPortInfo>& serialPorts) {
    std::vector<std::string> names;
    names.reserve(serialPorts.size());
    for (const SerialPortInfo& port : serialPorts) {
        names.push_back(WideToUtf8(port.portName));
    }
    if (modem.comPort.starts_with('/')) {
        const auto exact = std::find(names.begin(), names.end(), modem.comPort);
        const auto same = exact != names.end()
                              ? exact
                              : std::find_if(names.begin(), names.end(), [&](const auto& name) {
                                    return IsSameDevice(modem.comPort, name);
                                });
        if (same != names.end()) {
            return {
                StartupLinkAction::Serial, static_cast<std::size_t>(same - names.begin()), {}, {}};
        }
        if (IsTerminalDevice(modem.comPort)) {
            return {StartupLinkAction::SerialDevice, 0, modem.comPort, {}};
        }
    }
    switch (cvhost::ChooseStartupTransport(modem, names)) {
        case cvhost::StartupSerial:
            for (std::size_t i = 0; i < names.size(); ++i) {
                if (SamePort(modem.comPort, names[i])) {
                    return {StartupLinkAction::Serial, i, {}, {}};
                }
            }
            return Failure("configured " + modem.comPort +
                           " disappeared while serial ports were refreshed.");
        case cvhost::StartupTelnet:
            return {StartupLinkAction::Telnet, 0, {}, {}};
        case cvhost::StartupNone:
            break;
    }
    if (!modem.comPort.empty()) {
        return Failure("configured " + modem.comPort +
                       " is not available and no telnet fallback is set.");
    }
    if (modem.autostart) {
        return Failure("autostart requires comport or telnet.");
    }
    return {};
}

}  // namespace corvina
