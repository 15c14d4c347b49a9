#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include "cli/exit_status.h"

namespace corvina::cli {
namespace {

using Kind = ModemAddress::Kind;

TEST(ParseModemAddress, AcceptsTcpAndSerialFormsAndRefusesTheRest) {
    struct Case {
        const char* text;
        Kind kind;             // None: refused
        const char* where;     // host or device
        std::uint32_t number;  // port or baud rate
    } cases[] = {
        {"tcp:modem.local", Kind::Tcp, "modem.local", 3000},
        {"tcp:10.0.0.2:3001", Kind::Tcp, "10.0.0.2", 3001},
        {"tcp:[::1]:4000", Kind::Tcp, "::1", 4000},
        {"serial:/dev/ttyUSB0", Kind::Serial, "/dev/ttyUSB0", 0},
        {"serial:/dev/ttyS1@38400", Kind::Serial, "/dev/ttyS1", 38400},
        {"tcp:host:70000", Kind::None, "", 0},
        {"serial:/dev/x@fast", Kind::None, "", 0},
        {"udp:host", Kind::None, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ModemAddress address;
        std::string error;
        ASSERT_EQ(ParseModemAddress(c.text, address, error), c.kind != Kind::None) << error;
        if (c.kind == Kind::None) {
            EXPECT_NE(error.find(c.text), std::string::npos);
            continue;
        }
        EXPECT_EQ(address.kind, c.kind);
        EXPECT_EQ(c.kind == Kind::Tcp ? address.host : address.device, c.where);
        EXPECT_EQ(c.kind == Kind::Tcp ? address.port : address.baudRate, c.number);
    }
}

TEST(ParseOptions, EachCommandGetsWhatItNeedsOrAnError) {
    struct Case {
        std::vector<std::string> args;
        const char* error;  // empty: accepted
    } cases[] = {
        {{}, ""},
        {{"send", "a.bin", "--to", "DK2BBB"}, ""},
        {{"send", "--help"}, ""},
        {{"chat", "--to", "DK2BBB", "--channel", "31"}, ""},
        {{"send", "a.bin"}, "--to CALL is missing"},
        {{"send", "--to", "X"}, "send wants exactly one FILE"},
        {{"listen"}, "--into DIR is missing"},
        {{"listen", "--into", "in", "extra"}, "unexpected argument extra"},
        {{"chat", "--to"}, "--to needs a value"},
        {{"chat", "--to", "X", "--channel", "32"},
         "--channel wants a hostmode channel from 1 to 31"},
        {{"chat", "--to", "X", "--timeout", "-1"}, "--timeout wants whole seconds, not \"-1\""},
        {{"chat", "--to", "X", "--verbose", "1"}, "unknown option --verbose"},
        {{"fetch"}, "unknown command \"fetch\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? "(none)" : c.args[0] + " ...");
        Options options;
        std::string error;
        EXPECT_EQ(ParseOptions(c.args, options, error), *c.error == '\0');
        EXPECT_EQ(error, c.error);
    }
    Options options;
    std::string error;
    // What the end-to-end runs do not use.
    ASSERT_TRUE(
        ParseOptions({"chat", "--to", "X", "--timeout", "90", "--channel", "31"}, options, error));
    EXPECT_EQ(options.timeout, std::chrono::seconds(90));
    EXPECT_EQ(options.channel, 31);
}

TEST(ExitStatusForVerdict, KeepsKnownVerdictsApartAndFoldsUnknownOnes) {
    const int expected[] = {kExitOk,       kExitCrcError,  kExitProtocolError, kExitFileError,
                            kExitRejected, kExitCancelled, kExitOtherVerdict};
    for (std::uint8_t verdict : {0, 1, 2, 3, 4, 5, 6, 255}) {
        EXPECT_EQ(ExitStatusForVerdict(verdict), expected[std::min<int>(verdict, 6)]) << +verdict;
    }
}

}  // namespace
}  // namespace corvina::cli
