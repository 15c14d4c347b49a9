#include "cli/station_runs.h"

namespace corvina::cli {
namespace {

constexpr const char* kCommon = R"(
Options:
  --modem tcp:HOST[:PORT]     the modem on the network (port 3000 when omitted)
  --modem serial:PATH[@BAUD]  the modem on a serial port (its own rate when omitted)
  --script FILE               a startup.txt: modem settings and start-up commands;
                              without --modem its comport= or telnet= names the modem
  --shutdown FILE             hostmode commands for the orderly end (default:
                              shutdown.txt beside --script, else none)
  --channel N                 hostmode channel 1..31 (default 4)
  --log DIR                   append the session transcript to a daily file in
                              DIR (unless the script says log=off)
  --timeout SECONDS           give up after this long (0, the default: never)
  --json                      one JSON object per line on standard output for
                              every event instead of plain text
  --help                      this text

Ctrl+C or SIGTERM ends orderly: the link is ended, the shutdown commands and
"JHOST0" are sent, then the program exits.
)";

constexpr const char* kStatus = R"(
Exit status:
  0   CRC OK (the peer received the file intact), or an orderly end
  1   CRC ERROR        the peer's copy did not match
  2   PROTOCOL ERROR   the transfer broke off
  3   FILE ERROR       the peer could not store the file
  4   REJECTED         the peer refused the file
  5   CANCELLED        the transfer was cancelled
  6   any other verdict
  7   no link: the call was not answered, or the link ended first
  8   modem error: the modem could not be reached or hostmode failed
  9   --timeout ran out
  10  interrupted by Ctrl+C or SIGTERM before the outcome
  11  the file could not be read
  64  bad command line or script
)";

}  // namespace

std::string HelpText(Command command) {
    switch (command) {
        case Command::Send:
            return std::string(
                       "Usage: corvina-cli send FILE --to CALL [options]\n\n"
                       "Calls CALL, sends FILE as a binary file, waits for the peer's\n"
                       "verdict, ends the link and leaves hostmode.\n") +
                   kCommon + kStatus;
        case Command::Listen:
            return std::string(
                       "Usage: corvina-cli listen --into DIR [options]\n\n"
                       "Stays in hostmode, accepts incoming links and stores received\n"
                       "files in DIR (an existing name gets \" (n)\" added; a file is\n"
                       "written as NAME.part and renamed once its CRC is checked).\n"
                       "Runs until interrupted or --timeout; exit status 0 then,\n"
                       "8 when the modem fails.\n") +
                   kCommon;
        case Command::Chat:
            return std::string(
                       "Usage: corvina-cli chat --to CALL [options]\n\n"
                       "Calls CALL, sends each line of standard input over the ARQ link\n"
                       "and prints what arrives. End of input ends the link.\n") +
                   kCommon + kStatus;
        case Command::Help:
            break;
    }
    return "Usage: corvina-cli COMMAND [options]\n\n"
           "The headless station: drives a modem in CRC hostmode without a window.\n\n"
           "Commands:\n"
           "  send FILE --to CALL   send a file and report the verdict\n"
           "  listen --into DIR     receive files until interrupted\n"
           "  chat --to CALL        chat over an ARQ link from standard input\n\n"
           "corvina-cli COMMAND --help describes each.\n";
}

}  // namespace corvina::cli
