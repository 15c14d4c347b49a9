#include "cvhost/command_script.h"

#include <gtest/gtest.h>

#include <string>

#include "cvhost/test_bytes.h"

namespace cvhost {
namespace {

using testing::Ascii;
using testing::Bytes;

struct Parsed {
    bool ok = false;
    CommandScript script;
    std::string error;
};

Parsed Parse(const std::string& text, PortNaming naming = PortNaming::Windows) {
    Parsed result;
    // Start from a non-empty script so that a missing reset shows.
    result.script.terminalCommands.push_back(Ascii("stale"));
    result.script.modem.comPort = "COM9";
    result.ok = ParseCommandScript(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                                   result.script, &result.error, naming);
    return result;
}

std::vector<Bytes> Commands(std::initializer_list<const char*> lines) {
    std::vector<Bytes> out;
    for (const char* line : lines) {
        out.push_back(Ascii(line));
    }
    return out;
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
    EXPECT_EQ(p.script.terminalCommands, Commands({"MYCALL AB1CD", "second  term\t cmd"}));
    EXPECT_EQ(p.script.hostmodeCommands, Commands({"%M 1", "I"}));
    EXPECT_EQ(p.script.modem, ModemConfiguration{});
}

TEST(ParseCommandScript, EmptyAndBlankInputsAreEmptyScripts) {
    for (const char* text : {"", "\xEF\xBB\xBF", "\r\n \t\n\r\r", "\xEF\xBB\xBF  \n[Modem]\n"}) {
        SCOPED_TRACE(text);
        const Parsed p = Parse(text);
        EXPECT_TRUE(p.ok) << p.error;
        EXPECT_EQ(p.script, CommandScript{});
    }
    CommandScript script;
    script.hostmodeCommands.push_back(Ascii("stale"));
    EXPECT_TRUE(ParseCommandScript(nullptr, 0, script, nullptr));
    EXPECT_EQ(script, CommandScript{});
}

TEST(ParseCommandScript, ReadsModemSettings) {
    const Parsed p = Parse(
        "[modem]\n"
        "Modem = KTM-II\n"
        "BAUDRATE=115200\n"
        "comport = COM007\n"
        "telnet=\"Modem.Example.ORG\"\n"
        "autostart=On\n"
        "reconnect=OFF\nLOG=Off\n");
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_FALSE(p.script.modem.reconnect);
    EXPECT_FALSE(p.script.modem.log);
    EXPECT_TRUE(Parse("[Modem]\nautostart=on\n").script.modem.reconnect);
    EXPECT_TRUE(Parse("[Modem]\nautostart=on\n").script.modem.log);
    EXPECT_EQ(p.script.modem.model, ModemModel::Ktm2);
    EXPECT_EQ(p.script.modem.baudRate, 115200u);
    EXPECT_EQ(p.script.modem.comPort, "COM7");
    EXPECT_EQ(p.script.modem.telnetHost, "modem.example.org");
    EXPECT_TRUE(p.script.modem.autostart);
    EXPECT_TRUE(p.script.terminalCommands.empty());
}

TEST(ParseCommandScript, OnlyAKtm2KeepsItsBaudRate) {
    struct Case {
        const char* text;
        ModemModel model;
        std::uint32_t baudRate;
    };
    const Case cases[] = {
        {"[Modem]\nbaudrate=115200\nmodem=hr-5900", ModemModel::Hr5900, 0},
        {"[Modem]\nbaudrate=115200", ModemModel::Hr5900, 0},
        {"[Modem]\nbaudrate=9600\nmodem=hr-3300", ModemModel::Hr3300, 0},
        {"[Modem]\nmodem=hr-3700", ModemModel::Hr3700, 0},
        {"[Modem]\nbaudrate=57600\nmodem=ktm-ii", ModemModel::Ktm2, 57600},
        {"[Modem]\nmodem=ktm-ii\nbaudrate=auto", ModemModel::Ktm2, 0},
        {"[Modem]\nmodem=ktm-ii\nbaudrate=019200", ModemModel::Ktm2, 19200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const Parsed p = Parse(c.text);
        ASSERT_TRUE(p.ok) << p.error;
        EXPECT_EQ(p.script.modem.model, c.model);
        EXPECT_EQ(p.script.modem.baudRate, c.baudRate);
    }
}

TEST(ParseCommandScript, ReportsTheFirstOffendingLineAndLeavesTheScriptEmpty) {
    const std::string longHost(256, 'h');
    struct Case {
        std::string text;
        const char* error;
    };
    const Case cases[] = {
        {"A\r\n\r\nB=C\n[Modem]\nX", "line 5: invalid modem setting"},
        {"a\n\rb\n[Bogus]", "line 4: unknown command section"},
        {"TEXT [X]", "line 1: unknown command section"},
        {std::string(257, 'x'), "line 1: command exceeds 256 bytes"},
        {"ok\ncaf\xC3\xA9", "line 2: command is not ASCII text"},
        {"bell\x07", "line 1: command is not ASCII text"},
        {"[Modem]\n=value", "line 2: invalid modem setting"},
        {"[Modem]\nmodem=", "line 2: invalid modem setting"},
        {"[Modem]\nmodem=\"hr-5900", "line 2: invalid modem setting"},
        {"[Modem]\nmodem=\"\"", "line 2: invalid modem setting"},
        {"[Modem]\nmodem=\"hr\"5900\"", "line 2: invalid modem setting"},
        {"[Modem]\ntelnet=a=b", "line 2: invalid modem setting"},
        {"[Modem]\nmodem=hr-9999", "line 2: unsupported modem model"},
        {"[Modem]\nmodem=hr-5900\nmodem=hr-5900", "line 3: duplicate modem setting"},
        {"[Modem]\nbaudrate=4800", "line 2: unsupported baudrate"},
        {"[Modem]\nbaudrate=+9600", "line 2: unsupported baudrate"},
        {"[Modem]\nbaudrate=auto\nbaudrate=9600", "line 3: duplicate baudrate setting"},
        {"[Modem]\ncomport=COM0", "line 2: unsupported comport"},
        {"[Modem]\ncomport=COM257", "line 2: unsupported comport"},
        {"[Modem]\ncomport=COM 3", "line 2: unsupported comport"},
        {"[Modem]\ncomport=/dev/ttyS0", "line 2: unsupported comport"},
        {"[Modem]\ncomport=bad\ncomport=COM1", "line 2: unsupported comport"},
        {"[Modem]\ncomport=COM1\ncomport=COM1", "line 3: duplicate comport setting"},
        {"[Modem]\ntelnet=\"my host\"", "line 2: unsupported telnet host"},
        // The line limit comes first, so no host longer than 249 bytes gets through.
        {"[Modem]\ntelnet=" + longHost, "line 2: command exceeds 256 bytes"},
        {"[Modem]\ntelnet=a\ntelnet=b", "line 3: duplicate telnet setting"},
        {"[Modem]\nautostart=yes", "line 2: unsupported autostart value"},
        {"[Modem]\nautostart=on\n\nautostart=on", "line 4: duplicate autostart setting"},
        {"[Modem]\nreconnect=no", "line 2: unsupported reconnect value"},
        {"[Modem]\nreconnect=on\nreconnect=off", "line 3: duplicate reconnect setting"},
        {"[Modem]\nlog=no", "line 2: unsupported log value"},
        {"[Modem]\nlog=on\nlog=off", "line 3: duplicate log setting"},
        {"[Modem]\nspeed=9600", "line 2: unknown modem setting"},
        {"[Modem]\nno equals sign", "line 2: invalid modem setting"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const Parsed p = Parse(c.text);
        EXPECT_FALSE(p.ok);
        EXPECT_EQ(p.error, c.error);
        EXPECT_EQ(p.script, CommandScript{});
    }
}

TEST(ParseCommandScript, AcceptsTheLongestCommandAndHost) {
    const std::string command(256, 'c');
    const std::string host(249, 'H');  // "telnet=" and the host fill 256 bytes
    const Parsed p = Parse("  " + command + "\t\n[Modem]\ntelnet=" + host);
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.script.terminalCommands, std::vector<Bytes>{Ascii(command)});
    EXPECT_EQ(p.script.modem.telnetHost, std::string(249, 'h'));
}

TEST(ParseCommandScript, PosixNamingAlsoAcceptsDevicePathsWithTheirCase) {
    struct Case {
        const char* value;
        const char* stored;  // nullptr: refused as "unsupported comport"
    };
    const Case cases[] = {
        {"/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"\"/dev/serial/by-id/usb-Modem_01\"", "/dev/serial/by-id/usb-Modem_01"},
        {"com3", "COM3"},
        {"/dev/", nullptr},
        {"/DEV/ttyS0", nullptr},
        {"/dev/../etc/passwd", nullptr},
        {"/dev/./ttyS0", nullptr},
        {"/dev//ttyS0", nullptr},
        {"/dev/ttyS0/", nullptr},
        {"\"/dev/tty S0\"", nullptr},
        {"/tmp/ttyS0", nullptr},
        {"dev/ttyS0", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const Parsed p = Parse(std::string("[Modem]\ncomport = ") + c.value, PortNaming::Posix);
        if (c.stored == nullptr) {
            EXPECT_FALSE(p.ok);
            EXPECT_EQ(p.error, "line 2: unsupported comport");
        } else {
            ASSERT_TRUE(p.ok) << p.error;
            EXPECT_EQ(p.script.modem.comPort, c.stored);
        }
    }
    const Parsed twice =
        Parse("[Modem]\ncomport=/dev/ttyS0\ncomport=/dev/ttyS1", PortNaming::Posix);
    EXPECT_EQ(twice.error, "line 3: duplicate comport setting");
}

}  // namespace
}  // namespace cvhost
