#include "cvhost/command_script.h"

#include <gtest/gtest.h>

#include <string>

#include "support/hostmode_wire.h"

namespace cvhost {
namespace {

using corvina::testing::Bytes;
using corvina::testing::ToBytes;
using Config = ModemConfiguration;
using enum ModemModel;

struct Parsed {
    bool ok = false;
    CommandScript script;
    std::string error;
};

Parsed Parse(const std::string& text, PortNaming naming = PortNaming::Windows) {
    Parsed result;
    // Start from a non-empty script so that a missing reset shows.
    result.script.terminalCommands.push_back(ToBytes("stale"));
    result.script.modem.comPort = "COM9";
    result.ok = ParseCommandScript(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                                   result.script, &result.error, naming);
    return result;
}

TEST(ParseCommandScript, SortsLinesIntoSectionsInFileOrder) {
    const Parsed p = Parse(
        "\xEF\xBB\xBF"
        "MYCALL AB1CD\r\n"
        "  [host]  \n"
        "\t%M 1 \r"
        "[TERM]\r\n"
        "second  term\t cmd\n"
        "\n"
        "[Host]\n"
        "I");
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.script.terminalCommands,
              (std::vector{ToBytes("MYCALL AB1CD"), ToBytes("second  term\t cmd")}));
    EXPECT_EQ(p.script.hostmodeCommands, (std::vector{ToBytes("%M 1"), ToBytes("I")}));
    EXPECT_EQ(p.script.modem, Config{});

    const std::string longest(256, 'c');
    EXPECT_EQ(Parse("  " + longest + "\t\n").script.terminalCommands,
              std::vector<Bytes>{ToBytes(longest)});
    for (const char* blank : {"", "\xEF\xBB\xBF", "\r\n \t\n\r\r", "\xEF\xBB\xBF  \n[Modem]\n"}) {
        const Parsed empty = Parse(blank);
        EXPECT_TRUE(empty.ok) << empty.error;
        EXPECT_EQ(empty.script, CommandScript{});
    }
    CommandScript script;
    EXPECT_FALSE(ParseCommandScript(nullptr, 3, script, nullptr));
}

// A script is read whole, or refused at its first offending line with nothing kept.
TEST(ParseCommandScript, ReadsModemSettingsOrReportsTheFirstOffendingLine) {
    const auto posix = PortNaming::Posix;
    const std::string unsupportedComport = "line 2: unsupported comport";
    struct Case {
        std::string text;
        std::string error;  // empty: accepted with `modem`
        Config modem = {};
        PortNaming naming = PortNaming::Windows;
    } cases[] = {
        {"[Modem]\nModem = KTM-II\nBAUDRATE=115200\ncomport = COM007\n"
         "telnet=\"Modem.Example.ORG\"\nautostart=On\nreconnect=OFF\nLOG=Off\n",
         "",
         {Ktm2, 115200, "COM7", "modem.example.org", true, false, false}},
        // Only a Ktm2 keeps its baud rate.
        {"[Modem]\nbaudrate=115200\nmodem=hr-3300", "", {Hr3300, 0, "", "", false, true, true}},
        {"[Modem]\nmodem=hr-3700", "", {Hr3700, 0, "", "", false, true, true}},
        {"[Modem]\nmodem=ktm-ii\nbaudrate=auto", "", {Ktm2, 0, "", "", false, true, true}},
        {"[Modem]\nmodem=ktm-ii\nbaudrate=019200", "", {Ktm2, 19200, "", "", false, true, true}},
        {"[Modem]\ntelnet=" + std::string(249, 'H'),
         "",
         {Hr5900, 0, "", std::string(249, 'h'), false, true, true}},
        {"[Modem]\ncomport=/dev/ttyUSB0",
         "",
         {Hr5900, 0, "/dev/ttyUSB0", "", false, true, true},
         posix},
        {"[Modem]\ncomport=com3", "", {Hr5900, 0, "COM3", "", false, true, true}, posix},
        {"A\r\n\r\nB=C\n[Modem]\nX", "line 5: invalid modem setting"},
        {"a\n\rb\n[Bogus]", "line 4: unknown command section"},
        {std::string(257, 'x'), "line 1: command exceeds 256 bytes"},
        {"ok\ncaf\xC3\xA9", "line 2: command is not ASCII text"},
        {"[Modem]\nmodem=\"hr-5900", "line 2: invalid modem setting"},
        {"[Modem]\nmodem=hr-9999", "line 2: unsupported modem model"},
        {"[Modem]\nmodem=hr-5900\nmodem=hr-5900", "line 3: duplicate modem setting"},
        {"[Modem]\nbaudrate=4800", "line 2: unsupported baudrate"},
        {"[Modem]\nbaudrate=+9600", "line 2: unsupported baudrate"},
        {"[Modem]\nbaudrate=4294967296", "line 2: unsupported baudrate"},
        {"[Modem]\nmodem=\"\"", "line 2: invalid modem setting"},
        {"[Modem]\nbaudrate=auto\nbaudrate=9600", "line 3: duplicate baudrate setting"},
        {"[Modem]\ncomport=COM", unsupportedComport},
        {"[Modem]\ncomport=COM0", unsupportedComport},
        {"[Modem]\ncomport=COM257", unsupportedComport},
        {"[Modem]\ncomport=/dev/ttyS0", unsupportedComport},
        // Device paths must be plain absolute paths under /dev/.
        {"[Modem]\ncomport = /dev/", unsupportedComport, {}, posix},
        {"[Modem]\ncomport = /DEV/ttyS0", unsupportedComport, {}, posix},
        {"[Modem]\ncomport = /dev/../etc/passwd", unsupportedComport, {}, posix},
        {"[Modem]\ncomport = /dev//ttyS0", unsupportedComport, {}, posix},
        {"[Modem]\ncomport = dev/ttyS0", unsupportedComport, {}, posix},
        {"[Modem]\ncomport=COM1\ncomport=COM1", "line 3: duplicate comport setting"},
        {"[Modem]\ntelnet=\"my host\"", "line 2: unsupported telnet host"},
        // The line limit comes first, so no host longer than 249 bytes gets through.
        {"[Modem]\ntelnet=" + std::string(250, 'h'), "line 2: command exceeds 256 bytes"},
        {"[Modem]\ntelnet=a\ntelnet=b", "line 3: duplicate telnet setting"},
        {"[Modem]\nautostart=yes", "line 2: unsupported autostart value"},
        {"[Modem]\nreconnect=no", "line 2: unsupported reconnect value"},
        {"[Modem]\nlog=on\nlog=off", "line 3: duplicate log setting"},
        {"[Modem]\nspeed=9600", "line 2: unknown modem setting"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const Parsed p = Parse(c.text, c.naming);
        EXPECT_EQ(p.ok, c.error.empty());
        EXPECT_EQ(p.error, c.error);
        EXPECT_EQ(p.script, (CommandScript{{}, {}, c.modem}));
    }
}

}  // namespace
}  // namespace cvhost
