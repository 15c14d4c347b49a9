#include "link/port_list.h"

#include <gtest/gtest.h>

namespace corvina {
namespace {

using Ports = std::vector<SerialPortInfo>;
using Names = std::vector<std::u16string>;

Names NamesOf(const Ports& ports) {
    Names names;
    for (const auto& port : ports) {
        names.push_back(port.portName);
    }
    return names;
}

TEST(PortListTest, SortedUniqueByCodeUnitsThenTheMakersDevicesFirst) {
    Ports ports = {{u"COM2", u"Prolific (COM2)"},
                   {u"COM10", u"USB Serial Port (COM10)"},
                   {u"COM1", u"Communications Port (COM1)"},
                   {u"COM10", u"COM10"},
                   {u"COM7", u"=VELK KTM-II (COM7)"},
                   {u"/dev/ttyUSB1", u"x"},
                   {u"COM5", u"velk hr-5900 (COM5)"}};
    SortUniquePorts(ports);
    EXPECT_EQ(NamesOf(ports),
              (Names{u"/dev/ttyUSB1", u"COM1", u"COM10", u"COM2", u"COM5", u"COM7"}));
    EXPECT_EQ(ports[2].description, u"USB Serial Port (COM10)") << "the first of each name stays";
    OrderMakerPortsFirst(ports);
    EXPECT_EQ(NamesOf(ports),
              (Names{u"COM5", u"COM7", u"/dev/ttyUSB1", u"COM1", u"COM10", u"COM2"}));
    // A refresh keeps the previous port selected wherever it moved.
    EXPECT_EQ(SelectionAfterRefresh(ports, u"COM10"), 4u);
    EXPECT_EQ(SelectionAfterRefresh(ports, u"COM9"), 0u);
    EXPECT_EQ(SelectionAfterRefresh(ports, u"com10"), 0u) << "names compare exactly";
}

TEST(PortListTest, LabelsDropTheLeadingEqualsAndFixTheOldSpelling) {
    const struct {
        std::u16string description;
        std::u16string label;
    } cases[] = {
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
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.description.begin(), c.description.end()));
        EXPECT_EQ(SerialPortLabel(c.description), c.label);
    }
}

TEST(PortListTest, FriendlyNamesComeFromVendorAndModel) {
    const struct {
        std::string vendor;
        std::string model;
        std::u16string name;
    } cases[] = {
        {"Velk", "HR-5900", u"Velk HR-5900 (ttyUSB0)"},
        {"FTDI", "FT232R_USB_UART", u"FTDI FT232R USB UART (ttyUSB0)"},
        {"", "CP2102_", u"CP2102 (ttyUSB0)"},
        {"Prolific", "", u"Prolific (ttyUSB0)"},
        {"", "", u"/dev/ttyUSB0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.vendor + "/" + c.model);
        EXPECT_EQ(FriendlyPortName(c.vendor, c.model, u"/dev/ttyUSB0"), c.name);
    }
}

}  // namespace
}  // namespace corvina
