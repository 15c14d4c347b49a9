#pragma once

#include <cstdint>

namespace corvina::cli {

// What the process reports to its caller. 0..5 are the peer's verdict (the
// transfer result code itself), so a script can tell a damaged file from a
// refused one; 7.. are the station's own failures.
enum ExitStatus : int {
    kExitOk = 0,  // CRC OK, or an orderly end
    kExitCrcError = 1,
    kExitProtocolError = 2,
    kExitFileError = 3,
    kExitRejected = 4,
    kExitCancelled = 5,
    kExitOtherVerdict = 6,  // a result code this program does not know
    kExitNoLink = 7,        // the call was not answered, or the link ended first
    kExitModemError = 8,    // the modem could not be reached or left hostmode
    kExitTimeout = 9,       // --timeout ran out
    kExitInterrupted = 10,  // SIGINT or SIGTERM before the outcome
    kExitCannotSend = 11,   // the local file could not be read
    kExitUsage = 64,        // bad command line or script
};

// The status for a transfer result code (cvfile::ResultCode).
constexpr int ExitStatusForVerdict(std::uint8_t result) {
    return result <= kExitCancelled ? int{result} : int{kExitOtherVerdict};
}

}  // namespace corvina::cli
