#include "link/startup_link.h"

#include <gtest/gtest.h>

namespace corvina {
namespace {

cvhost::ModemConfiguration Modem(std::string comPort, std::string telnetHost,
                                 bool autostart = false) {
    cvhost::ModemConfiguration modem;
    modem.comPort = std::move(comPort);
    modem.telnetHost = std::move(telnetHost);
    modem.autostart = autostart;
    return modem;
}

TEST(StartupLinkTest, ChoosesTheConfiguredLinkOrSaysWhyItCannot) {
    const std::vector<SerialPortInfo> windowsPorts = {{u"COM1", u"a"}, {u"com3", u"b"}};
    const std::vector<SerialPortInfo> posixPorts = {{u"/dev/ttyACM0", u"a"},
                                                    {u"/dev/ttyUSB0", u"b"}};
    struct Case {
        const char* name;
        cvhost::ModemConfiguration modem;
        const std::vector<SerialPortInfo>& ports;
        StartupLinkAction action;
        std::size_t index;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"COM name ignores case", Modem("COM3", ""), windowsPorts, StartupLinkAction::Serial, 1,
         ""},
        {"present port wins over the network, autostart or not", Modem("COM1", "modem", true),
         windowsPorts, StartupLinkAction::Serial, 0, ""},
        {"a port name's prefix is no match", Modem("COM", ""), windowsPorts,
         StartupLinkAction::Error, 0,
         "startup.txt: configured COM is not available and no telnet fallback is set."},
        {"absent port falls back to the network", Modem("COM9", "10.0.0.5"), windowsPorts,
         StartupLinkAction::Telnet, 0, ""},
        {"absent port without fallback", Modem("COM9", ""), windowsPorts, StartupLinkAction::Error,
         0, "startup.txt: configured COM9 is not available and no telnet fallback is set."},
        {"network only", Modem("", "modem"), windowsPorts, StartupLinkAction::Telnet, 0, ""},
        {"autostart with nothing to start", Modem("", "", true), windowsPorts,
         StartupLinkAction::Error, 0, "startup.txt: autostart requires comport or telnet."},
        {"nothing configured", Modem("", ""), windowsPorts, StartupLinkAction::None, 0, ""},
        {"device path", Modem("/dev/ttyUSB0", ""), posixPorts, StartupLinkAction::Serial, 1, ""},
        {"device path compares case", Modem("/dev/ttyusb0", ""), posixPorts,
         StartupLinkAction::Error, 0,
         "startup.txt: configured /dev/ttyusb0 is not available and no telnet fallback is set."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const StartupLinkChoice choice = ChooseStartupLink(c.modem, c.ports);
        EXPECT_EQ(choice.action, c.action);
        EXPECT_EQ(choice.error, c.error);
        if (c.action == StartupLinkAction::Serial) {
            EXPECT_EQ(choice.serialIndex, c.index);
        }
    }
}

}  // namespace
}  // namespace corvina
