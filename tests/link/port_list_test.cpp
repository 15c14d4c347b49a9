#include "link/port_list.h"

#include <gtest/gtest.h>

#include "link/serial_ports.h"
#ifndef _WIN32
#include "pseudo_terminal.h"
#endif

namespace corvina {
namespace {

using Ports = std::vector<SerialPortInfo>;

std::vector<std::u16string> Names(const Ports& ports) {
    std::vector<std::u16string> names;
    for (const auto& port : ports) {
        names.push_back(port.portName);
    }
    return names;
}

TEST(PortListTest, SortsByCodeUnitsAndKeepsTheFirstOfEachName) {
    Ports ports = {{u"COM2", u"COM2"},
                   {u"COM10", u"USB Serial Port (COM10)"},
                   {u"COM1", u"Communications Port (COM1)"},
                   {u"COM10", u"COM10"},
                   {u"/dev/ttyUSB1", u"x"},
                   {u"/dev/ttyACM0", u"y"}};
    SortUniquePorts(ports);
    EXPECT_EQ(Names(ports), (std::vector<std::u16string>{u"/dev/ttyACM0", u"/dev/ttyUSB1", u"COM1",
                                                         u"COM10", u"COM2"}));
    EXPECT_EQ(ports[3].description, u"USB Serial Port (COM10)");
}

TEST(PortListTest, MakersDevicesComeFirstInSortedOrder) {
    Ports ports = {{u"COM1", u"Communications Port (COM1)"},
                   {u"COM10", u"USB Serial Port (COM10)"},
                   {u"COM2", u"Prolific (COM2)"},
                   {u"COM5", u"velk hr-5900 (COM5)"},
                   {u"COM7", u"=VELK KTM-II (COM7)"}};
    OrderMakerPortsFirst(ports);
    EXPECT_EQ(Names(ports),
              (std::vector<std::u16string>{u"COM5", u"COM7", u"COM1", u"COM10", u"COM2"}));
}

TEST(PortListTest, LabelsDropTheLeadingEqualsAndFixTheOldSpelling) {
    struct Case {
        std::u16string description;
        std::u16string label;
    };
    const std::vector<Case> cases = {
        {u"=Velk HR-5900 (COM3)", u"Velk HR-5900 (COM3)"},
        {u"=vElK", u"vElK"},
        {u"=Other (COM3)", u"=Other (COM3)"},
        {u" =Velk (COM3)", u" =Velk (COM3)"},
        {u"CoVheron modem (CoVheron)", u"CVheron modem (CoVheron)"},
        {u"=Velk CoVheron", u"Velk CVheron"},
        {u"covheron", u"covheron"},
        {u"=", u"="},
        {u"", u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.description.begin(), c.description.end()));
        EXPECT_EQ(SerialPortLabel(c.description), c.label);
    }
}

TEST(PortListTest, RefreshKeepsThePreviousPortWhereverItMoved) {
    const Ports ports = {{u"COM5", u"Velk"}, {u"COM1", u"a"}, {u"COM4", u"b"}};
    EXPECT_EQ(SelectionAfterRefresh(ports, u"COM4"), 2u);
    EXPECT_EQ(SelectionAfterRefresh(ports, u"COM9"), 0u);
    EXPECT_EQ(SelectionAfterRefresh(ports, u"com4"), 0u) << "names compare exactly";
    EXPECT_EQ(SelectionAfterRefresh(ports, u""), 0u);
}

TEST(PortListTest, FriendlyNamesComeFromVendorAndModel) {
    struct Case {
        std::string vendor;
        std::string model;
        std::u16string name;
    };
    const std::vector<Case> cases = {
        {"Velk", "HR-5900", u"Velk HR-5900 (ttyUSB0)"},
        {"FTDI", "FT232R_USB_UART", u"FTDI FT232R USB UART (ttyUSB0)"},
        {"", "CP2102_", u"CP2102 (ttyUSB0)"},
        {"Prolific", "", u"Prolific (ttyUSB0)"},
        {"", "", u"/dev/ttyUSB0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vendor + "/" + c.model);
        EXPECT_EQ(FriendlyPortName(c.vendor, c.model, u"/dev/ttyUSB0"), c.name);
    }
}

TEST(SerialPortEnumerationTest, ListIsSortedUniqueAndHoldsOnlyPortNames) {
#ifndef _WIN32
    testing::PseudoTerminal pty;
    ASSERT_TRUE(pty.ok());
#endif
    const Ports ports = EnumerateSerialPorts();
    for (std::size_t i = 1; i < ports.size(); ++i) {
        EXPECT_LT(ports[i - 1].portName, ports[i].portName);
    }
    for (const auto& port : ports) {
        EXPECT_FALSE(port.description.empty());
#ifdef _WIN32
        EXPECT_TRUE(port.portName.starts_with(u"COM"));
#else
        EXPECT_NE(port.portName, pty.slavePath16());
        EXPECT_NE(port.portName.find(u"/dev/"), std::u16string::npos);
#endif
    }
}

}  // namespace
}  // namespace corvina
