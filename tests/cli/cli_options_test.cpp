#include "cli/cli_options.h"

#include <gtest/gtest.h>

#include "cli/exit_status.h"

namespace corvina::cli {
namespace {

TEST(ParseModemAddress, AcceptsTcpAndSerialFormsAndRefusesTheRest) {
    const std::pair<const char*, const char*> cases[] = {
        {"tcp:modem.local", "tcp modem.local 3000"},
        {"tcp:10.0.0.2:3001", "tcp 10.0.0.2 3001"},
        {"tcp:[::1]:4000", "tcp ::1 4000"},
        {"serial:/dev/ttyUSB0", "serial /dev/ttyUSB0 0"},
        {"serial:/dev/ttyS1@38400", "serial /dev/ttyS1 38400"},
        {"tcp:host:70000", ""},  // refused
        {"serial:/dev/x@fast", ""},
        {"udp:host", ""},
    };
    for (const auto& [text, expected] : cases) {
        ModemAddress a;
        std::string error;
        if (!ParseModemAddress(text, a, error)) {
            EXPECT_STREQ(expected, "") << error;
            EXPECT_NE(error.find(text), std::string::npos);
            continue;
        }
        EXPECT_EQ(a.kind == ModemAddress::Kind::Tcp
                      ? "tcp " + a.host + " " + std::to_string(a.port)
                      : "serial " + a.device + " " + std::to_string(a.baudRate),
                  expected);
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
