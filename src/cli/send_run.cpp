#include <chrono>
#include <system_error>

#include "cli/exit_status.h"
#include "cli/station_runs.h"
#include "transfer/file_senders.h"

namespace corvina::cli {
namespace {

using namespace std::chrono_literals;
using Clock = HeadlessStation::Clock;
using WakeKind = HeadlessStation::WakeKind;

// How long an interrupted or finished send waits for the link to end.
constexpr auto kLinkEndGrace = 10s;

Clock::time_point Sooner(Clock::time_point a, Clock::time_point b) {
    return a < b ? a : b;
}

// Waits for the verdict of the running send. kExitOk..kExitOtherVerdict for a
// verdict, else the failure.
int AwaitVerdict(HeadlessStation& station, Clock::time_point deadline) {
    for (;;) {
        if (station.sendVerdict()) {
            return ExitStatusForVerdict(*station.sendVerdict());
        }
        if (station.hostError()) {
            return kExitModemError;
        }
        // The session ends a running send when the link ends; that is the
        // link's failure, not the file's.
        if (station.linkEnded() ||
            (station.sendFailure() && *station.sendFailure() == kBinaryArqGone)) {
            station.Report("The link ended before the verdict");
            return kExitNoLink;
        }
        if (station.sendFailure()) {
            return kExitCannotSend;
        }
        const WakeKind kind = station.Next(deadline).kind;
        if (kind == WakeKind::TimedOut) {
            station.Report("No verdict before the time-out");
            return kExitTimeout;
        }
        if (kind == WakeKind::Interrupted) {
            return kExitInterrupted;
        }
    }
}

}  // namespace

Clock::time_point DeadlineFrom(const Options& options) {
    return options.timeout.count() > 0 ? Clock::now() + options.timeout
                                       : Clock::now() + std::chrono::hours(24 * 365 * 10);
}

int RunSend(HeadlessStation& station, const Options& options) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(options.file, ec);
    if (ec || !std::filesystem::is_regular_file(options.file, ec)) {
        station.Report("Could not read " + options.file.string());
        return kExitCannotSend;
    }
    const Clock::time_point deadline = DeadlineFrom(options);
    int status = station.Connect(deadline);
    if (status != kExitOk) {
        return status;
    }
    status = station.Call(options.to, deadline);
    if (status == kExitOk) {
        const FileTransfers::StartResult started =
            station.transfers().StartBinaryFileSend(options.file);
        if (started.outcome != FileTransfers::StartOutcome::Started) {
            station.Report(started.status.empty() ? "The link cannot take a file now"
                                                  : started.status);
            status = kExitCannotSend;
        } else {
            station.Emit(station.report().SendStarted(SendFileName(options.file), size,
                                                      std::chrono::system_clock::now()));
            status = AwaitVerdict(station, deadline);
            if (status == kExitInterrupted || status == kExitTimeout) {
                station.transfers().AbortBinaryFileSend();
            }
        }
    }
    if (!station.hostError()) {
        station.EndLink(Sooner(Clock::now() + kLinkEndGrace, deadline + kLinkEndGrace));
    }
    station.Finish(true);
    return status;
}

}  // namespace corvina::cli
