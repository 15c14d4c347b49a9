#include <chrono>

#include "cli/exit_status.h"
#include "cli/station_runs.h"

namespace corvina::cli {

using namespace std::chrono_literals;

int RunListen(HeadlessStation& station, const Options& options) {
    const auto deadline = DeadlineFrom(options);
    const int status = station.Connect(deadline);
    if (status != kExitOk) {
        // A listener told to stop while it connects has done what it was told.
        return status == kExitInterrupted ? kExitOk : status;
    }
    for (;;) {
        if (station.hostError()) {
            station.Finish(false);
            return kExitModemError;
        }
        const auto kind = station.Next(deadline).kind;
        if (kind == HeadlessStation::WakeKind::TimedOut ||
            kind == HeadlessStation::WakeKind::Interrupted) {
            break;
        }
    }
    // Ending the link first leaves the peer a clean disconnect and drops any
    // half-received file.
    station.EndLink(HeadlessStation::Clock::now() + 5s);
    station.Finish(true);
    return kExitOk;
}

}  // namespace corvina::cli
