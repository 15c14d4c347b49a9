#include <chrono>

#include "cli/exit_status.h"
#include "cli/input_lines.h"
#include "cli/station_runs.h"
#include "text/conversions.h"

namespace corvina::cli {

using namespace std::chrono_literals;
using WakeKind = HeadlessStation::WakeKind;

int RunChat(HeadlessStation& station, const Options& options) {
    const auto deadline = DeadlineFrom(options);
    int status = station.Connect(deadline);
    if (status != kExitOk) {
        return status;
    }
    status = station.Call(options.to, deadline);
    if (status == kExitOk) {
        InputLines input(
            [&station](std::optional<std::string> line) { station.PostInput(std::move(line)); });
        bool inputOpen = true;
        while (inputOpen) {
            if (station.hostError()) {
                status = kExitModemError;
                break;
            }
            if (station.linkEnded()) {
                break;  // the other station said goodbye
            }
            const HeadlessStation::Wake wake = station.Next(HeadlessStation::Clock::now() + 24h);
            switch (wake.kind) {
                case WakeKind::Input:
                    // Each line goes out as the transmit pane sends it, ended by CR.
                    station.session().QueueData(WideToModemBytes(Utf8ToWide(wake.line + "\r\n")),
                                                OutboundKind::TransmitText);
                    break;
                case WakeKind::InputClosed:
                case WakeKind::Interrupted:
                    inputOpen = false;
                    break;
                default:
                    break;
            }
        }
    }
    if (!station.hostError()) {
        // "D" lets the modem send what is still buffered before the link ends.
        station.EndLink(HeadlessStation::Clock::now() + 120s);
    }
    if (station.hostError() && status == kExitOk) {
        status = kExitModemError;
    }
    station.Finish(true);
    return status;
}

}  // namespace corvina::cli
