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

// Run: the summary; Help and Version: part of what is printed; Error: part of the
// message, printed after the program's name with exit code 2.
TEST(ParseCommandLine, ReadsOurOptionsPassesToolkitOptionsAndAnswersTheRest) {
    const struct {
        std::vector<std::string> arguments;
        Action action;
        std::string expected;
    } cases[] = {
        {{}, Action::Run, "-||-"},
        {{"--help"}, Action::Help, "--connect serial:PATH"},
        {{"-h", "--bogus"}, Action::Help, "--portable"},
        {{"--version"}, Action::Version, "Velk Corvina 1.00.11\n"},
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
        {{"--bogus"}, Action::Error, "corvina: unknown option '--bogus'\nTry 'corvina --help'"},
        {{"-portable"}, Action::Error, "unknown option '-portable'"},
        {{"--portable=yes"}, Action::Error, "unknown option '--portable=yes'"},
        {{"station.txt"}, Action::Error, "unexpected argument 'station.txt'"},
        {{"-platform"}, Action::Error, "option '-platform' needs a value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.arguments));
        const CommandLine line = ParseCommandLine(c.arguments);
        EXPECT_EQ(line.action, c.action) << line.error;
        std::ostringstream out;
        std::ostringstream err;
        const std::optional<int> code = AnswerWithoutWindow(line, out, err);
        if (c.action == Action::Run) {
            EXPECT_EQ(Summary(line), c.expected);
            EXPECT_EQ(code, std::nullopt);
        } else {
            EXPECT_EQ(code, c.action == Action::Error ? 2 : 0);
        }
        EXPECT_EQ(out.str().find(c.expected) != std::string::npos,
                  c.action == Action::Help || c.action == Action::Version)
            << out.str();
        EXPECT_EQ(err.str().find(c.expected) != std::string::npos, c.action == Action::Error)
            << err.str();
    }
    for (const char* link : {"tcp:", "tcp::3000", "tcp:h:0", "tcp:h:65536", "tcp:h:30x", "tcp:h:",
                             "tcp:::1", "tcp:[::1", "tcp:[::1]x", "udp:h", "serial:", "COM3"}) {
        SCOPED_TRACE(link);
        EXPECT_EQ(ParseCommandLine({"--connect", link}).action, Action::Error);
    }
}

}  // namespace
}  // namespace corvina
