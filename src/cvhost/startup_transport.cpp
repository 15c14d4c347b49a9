#include "cvhost/startup_transport.h"

#include "cvhost/script_text.h"

namespace cvhost {
namespace {

bool SamePort(const std::string& configured, const std::string& present) {
    // Device paths are case-sensitive; COM names are not.
    if (IsDevicePathName(configured)) {
        return configured == present;
    }
    return EqualsIgnoreAsciiCase(configured, present);
}

StartupTransport NetworkOrNone(const ModemConfiguration& modem) {
    return modem.telnetHost.empty() ? StartupNone : StartupTelnet;
}

}  // namespace

StartupTransport ChooseStartupTransport(const ModemConfiguration& modem,
                                        const std::vector<std::string>& availablePorts) {
    if (modem.comPort.empty()) {
        return NetworkOrNone(modem);
    }
    for (const std::string& port : availablePorts) {
        if (SamePort(modem.comPort, port)) {
            return StartupSerial;
        }
    }
    return NetworkOrNone(modem);
}

}  // namespace cvhost
