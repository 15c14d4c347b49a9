#include "cvhost/startup_transport.h"

#include <gtest/gtest.h>

namespace cvhost {
namespace {

ModemConfiguration Config(const char* comPort, const char* telnetHost) {
    ModemConfiguration config;
    config.comPort = comPort;
    config.telnetHost = telnetHost;
    return config;
}

TEST(ChooseStartupTransport, PrefersAPresentPortThenTheNetworkAddress) {
    struct Case {
        const char* name;
        ModemConfiguration config;
        std::vector<std::string> ports;
        StartupTransport expected;
    };
    const Case cases[] = {
        {"port present in other case", Config("COM3", ""), {"COM1", "com3"}, StartupSerial},
        {"port present, host too", Config("COM3", "modem"), {"COM3"}, StartupSerial},
        {"port absent, host set", Config("COM3", "modem"), {"COM4"}, StartupTelnet},
        {"port absent, no host", Config("COM3", ""), {"COM4"}, StartupNone},
        {"prefix is no match", Config("COM3", ""), {"COM30", "COM"}, StartupNone},
        {"no port, host set", Config("", "modem"), {"COM1"}, StartupTelnet},
        {"nothing configured", Config("", ""), {"COM1"}, StartupNone},
        {"no ports present", Config("COM1", ""), {}, StartupNone},
        {"device path present", Config("/dev/ttyUSB0", ""), {"/dev/ttyUSB0"}, StartupSerial},
        {"device path differs in case",
         Config("/dev/ttyUSB0", "modem"),
         {"/dev/TTYUSB0"},
         StartupTelnet},
        {"device path absent", Config("/dev/ttyACM0", ""), {"/dev/ttyUSB0"}, StartupNone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ChooseStartupTransport(c.config, c.ports), c.expected);
    }
}

TEST(ChooseStartupTransport, AutostartPlaysNoPart) {
    ModemConfiguration config = Config("", "");
    config.autostart = true;
    EXPECT_EQ(ChooseStartupTransport(config, {"COM1"}), StartupNone);
}

}  // namespace
}  // namespace cvhost
