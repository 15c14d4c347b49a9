#include "link/startup_link.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "link/serial_ports.h"
#ifndef _WIN32
#include "pseudo_terminal.h"
#endif
#include "support/temporary_folder.h"

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

std::string Unavailable(const std::string& port) {
    return "startup.txt: configured " + port + " is not available and no telnet fallback is set.";
}

TEST(StartupLinkTest, ChoosesTheConfiguredLinkOrSaysWhyItCannot) {
    const std::vector<SerialPortInfo> windowsPorts = {{u"COM1", u"a"}, {u"com3", u"b"}};
    const std::vector<SerialPortInfo> posixPorts = {{u"/dev/ttyACM0", u"a"},
                                                    {u"/dev/ttyUSB0", u"b"}};
    const struct {
        const char* name;
        cvhost::ModemConfiguration modem;
        const std::vector<SerialPortInfo>& ports;
        StartupLinkAction action;
        std::size_t index;
        std::string error;
    } cases[] = {
        {"COM name ignores case", Modem("COM3", ""), windowsPorts, StartupLinkAction::Serial, 1,
         ""},
        {"present port wins over the network, autostart or not", Modem("COM1", "modem", true),
         windowsPorts, StartupLinkAction::Serial, 0, ""},
        {"a port name's prefix is no match", Modem("COM", ""), windowsPorts,
         StartupLinkAction::Error, 0, Unavailable("COM")},
        {"absent port falls back to the network", Modem("COM9", "10.0.0.5"), windowsPorts,
         StartupLinkAction::Telnet, 0, ""},
        {"absent port without fallback", Modem("COM9", ""), windowsPorts, StartupLinkAction::Error,
         0, Unavailable("COM9")},
        {"network only", Modem("", "modem"), windowsPorts, StartupLinkAction::Telnet, 0, ""},
        {"autostart with nothing to start", Modem("", "", true), windowsPorts,
         StartupLinkAction::Error, 0, "startup.txt: autostart requires comport or telnet."},
        {"nothing configured", Modem("", ""), windowsPorts, StartupLinkAction::None, 0, ""},
        {"device path", Modem("/dev/ttyUSB0", ""), posixPorts, StartupLinkAction::Serial, 1, ""},
        {"device path compares case", Modem("/dev/ttyusb0", ""), posixPorts,
         StartupLinkAction::Error, 0, Unavailable("/dev/ttyusb0")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const StartupLinkChoice choice = ChooseStartupLink(c.modem, c.ports);
        EXPECT_EQ(choice.action, c.action);
        EXPECT_EQ(choice.error, c.error);
        if (c.action == StartupLinkAction::Serial) {
            EXPECT_EQ(choice.serialIndex, c.index);
        }
    }
}

// Device paths and pseudo-terminals are a POSIX matter; Windows names COM ports.
#ifndef _WIN32
TEST(StartupLinkTest, DevicePathsMatchThroughSymlinksAndUnlistedTerminalsAreUsed) {
    testing::PseudoTerminal listed;
    testing::PseudoTerminal unlisted;
    testing::TemporaryFolder folder;
    ASSERT_TRUE(listed.ok() && unlisted.ok());
    const std::filesystem::path byId = folder.path() / "usb-Velk_Modem_123-if00";
    std::filesystem::create_symlink(listed.slavePath(), byId);
    const std::string plainFile = folder.WriteFile("plain-file", "").string();
    const std::vector<SerialPortInfo> ports = {{u"/dev/ttyS0", u"a"}, {listed.slavePath16(), u"b"}};
    const struct {
        std::string comPort;
        StartupLinkAction action;
    } cases[] = {
        {byId.string(), StartupLinkAction::Serial},
        {listed.slavePath(), StartupLinkAction::Serial},
        {unlisted.slavePath(), StartupLinkAction::SerialDevice},
        {"/dev/null", StartupLinkAction::Error},  // a character device, but no terminal
        {plainFile, StartupLinkAction::Error},
        {(folder.path() / "absent").string(), StartupLinkAction::Error},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.comPort);
        const StartupLinkChoice choice = ChooseStartupLink(Modem(c.comPort, ""), ports);
        EXPECT_EQ(choice.action, c.action);
        if (c.action == StartupLinkAction::Serial) {
            EXPECT_EQ(choice.serialIndex, 1u);
        }
        EXPECT_EQ(choice.devicePath,
                  c.action == StartupLinkAction::SerialDevice ? c.comPort : std::string());
    }
    for (const SerialPortInfo& port : EnumerateSerialPorts()) {
        EXPECT_NE(port.portName, unlisted.slavePath16()) << "a pseudo-terminal is no port";
    }
}
#endif

}  // namespace
}  // namespace corvina
