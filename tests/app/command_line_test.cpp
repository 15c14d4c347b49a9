#include "app/command_line.h"

#include <gtest/gtest.h>

#include <sstream>

namespace corvina {
namespace {

using Action = CommandLineAction;

// What a run takes from its command line: "portable|folder|link".
std::string Summary(const CommandLine& line) {
    std::string link = "-";
    if (line.connect) {
        link = line.connect->serial
                   ? "serial " + line.connect->devicePath
                   : "tcp " + line.connect->host + " " + std::to_string(line.connect->port);
    }
    return std::string(line.folders.portable ? "portable" : "-") + "|" +
           line.folders.folder.string() + "|" + link;
}

TEST(ParseCommandLine, ReadsOurOptionsPassesToolkitOptionsAndRefusesTheRest) {
    const struct {
        std::vector<std::string> arguments;
        Action action;
        std::string expected;  // Run: the summary; Error: part of the message
    } cases[] = {
        {{}, Action::Run, "-||-"},
        {{"--help"}, Action::Help, ""},
        {{"-h", "--bogus"}, Action::Help, ""},
        {{"--version"}, Action::Version, ""},
        {{"--portable"}, Action::Run, "portable||-"},
        {{"--folder", "/srv/a b"}, Action::Run, "-|/srv/a b|-"},
        {{"--folder=/srv/x", "--portable"}, Action::Run, "portable|/srv/x|-"},
        {{"--connect", "tcp:modem.local"}, Action::Run, "-||tcp modem.local 0"},
        {{"--connect=tcp:127.0.0.2:3000"}, Action::Run, "-||tcp 127.0.0.2 3000"},
        {{"--connect", "tcp:[::1]:65535"}, Action::Run, "-||tcp ::1 65535"},
        {{"--connect", "serial:/dev/ttyUSB0"}, Action::Run, "-||serial /dev/ttyUSB0"},
        {{"-platform", "offscreen", "--style=fusion", "-reverse", "-qwindowtitle", "A"},
         Action::Run,
         "-||-"},
        {{"--folder"}, Action::Error, "--folder needs a folder"},
        {{"--folder="}, Action::Error, "--folder needs a folder"},
        {{"--connect"}, Action::Error, "--connect needs"},
        {{"--bogus"}, Action::Error, "unknown option '--bogus'"},
        {{"-portable"}, Action::Error, "unknown option '-portable'"},
        {{"--portable=yes"}, Action::Error, "unknown option '--portable=yes'"},
        {{"station.txt"}, Action::Error, "unexpected argument 'station.txt'"},
        {{"-platform"}, Action::Error, "option '-platform' needs a value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.arguments));
        const CommandLine line = ParseCommandLine(c.arguments);
        EXPECT_EQ(line.action, c.action) << line.error;
        if (c.action == Action::Run) {
            EXPECT_EQ(Summary(line), c.expected);
        } else if (c.action == Action::Error) {
            EXPECT_NE(line.error.find(c.expected), std::string::npos) << line.error;
        }
    }
    for (const char* link : {"tcp:", "tcp::3000", "tcp:h:0", "tcp:h:65536", "tcp:h:30x", "tcp:h:",
                             "tcp:::1", "tcp:[::1", "tcp:[::1]x", "udp:h", "serial:", "COM3"}) {
        SCOPED_TRACE(link);
        EXPECT_EQ(ParseCommandLine({"--connect", link}).action, Action::Error);
    }
}

TEST(AnswerWithoutWindow, PrintsHelpAndVersionOrTheErrorWithExitCodeTwo) {
    const struct {
        std::vector<std::string> arguments;
        std::optional<int> code;
        std::string out, err;
    } cases[] = {
        {{"--help"}, 0, "--connect serial:PATH", ""},
        {{"--version"}, 0, "Velk Corvina 1.00.11\n", ""},
        {{"--nope"}, 2, "", "corvina: unknown option '--nope'\nTry 'corvina --help'"},
        {{"--portable"}, std::nullopt, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.front());
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(AnswerWithoutWindow(ParseCommandLine(c.arguments), out, err), c.code);
        EXPECT_NE(out.str().find(c.out), std::string::npos);
        EXPECT_NE(err.str().find(c.err), std::string::npos);
        EXPECT_EQ(out.str().empty(), c.out.empty());
        EXPECT_EQ(err.str().empty(), c.err.empty());
    }
}

}  // namespace
}  // namespace corvina
