#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "cli/cli_options.h"
#include "cli/event_report.h"
#include "session/ui_event.h"
#include "transfer/session_with_transfers.h"

namespace corvina {
class TranscriptWriter;
}

namespace corvina::cli {

// The headless station: one host session with its transfers, whose events
// are queued here and handled one at a time on the thread that calls Next
// (the main thread), as the window handles them on its own. It keeps the few
// flags the window would (peer connected, ARQ up, send verdict) and reports
// every event through the EventReport.
//
// Post, PostInput and Interrupt may be called from any thread; everything
// else from the main thread only. The station must outlive the threads that
// post to it.
class HeadlessStation final : public EventSink {
  public:
    using Clock = std::chrono::steady_clock;

    HeadlessStation(const Options& options, const EventReport& report,
                    corvina::TranscriptWriter* transcript = nullptr);
    ~HeadlessStation() override;

    void Post(UiEvent event) override;
    // A line of operator input (UTF-8, without its line end); nullopt: input ended.
    void PostInput(std::optional<std::string> line);
    // SIGINT or SIGTERM arrived: the next wait returns Interrupted.
    void Interrupt();

    // Reads the script, opens the modem, runs the terminal dialogue and waits
    // for hostmode. kExitOk, or the status to exit with (nothing left open).
    int Connect(Clock::time_point deadline);

    enum class WakeKind { Event, Input, InputClosed, TimedOut, Interrupted };
    struct Wake {
        WakeKind kind = WakeKind::TimedOut;
        std::string line;  // Input
    };
    // Handles and reports queued events until one arrives, then returns; or
    // returns on input, on an interrupt (once per signal) or at `deadline`.
    Wake Next(Clock::time_point deadline);

    // Calls `call` ("C CALL") and waits for the ARQ link. kExitOk once the
    // link is up and can carry data.
    int Call(const std::string& call, Clock::time_point deadline);

    // Ends the ARQ link ("D") if there is one and waits for its end, at most
    // until `deadline`.
    void EndLink(Clock::time_point deadline);

    // Ends the session: with `orderly` the shutdown commands and "JHOST0".
    void Finish(bool orderly);

    void Emit(const ReportLine& line);
    void Report(const std::string& error) {
        Emit(report_.Error(error, std::chrono::system_clock::now()));
    }

    HostSession& session() { return wired_.session(); }
    FileTransfers& transfers() { return wired_.transfers(); }
    const EventReport& report() const { return report_; }

    bool peerConnected() const { return peerConnected_; }
    bool linkUp() { return peerConnected_ && session().arqConnected.load(); }
    // The link ended (a "DISCONNECTED" link message) since the last reset.
    bool linkEnded() const { return linkEnded_; }
    void ResetLinkEnded() { linkEnded_ = false; }
    const std::optional<std::string>& hostError() const { return hostError_; }
    // The verdict of the last binary send, or its failure text.
    const std::optional<std::uint8_t>& sendVerdict() const { return sendVerdict_; }
    const std::optional<std::string>& sendFailure() const { return sendFailure_; }

  private:
    void Handle(const UiEvent& event);

    const Options& options_;
    const EventReport& report_;
    corvina::TranscriptWriter* transcript_;
    SessionWithTransfers wired_;

    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<UiEvent> events_;
    std::deque<std::optional<std::string>> input_;
    bool interrupted_ = false;

    bool recording_ = true;  // the script did not say log=off
    bool hostmodeActive_ = false;
    bool peerConnected_ = false;
    bool arqActive_ = false;
    bool linkEnded_ = false;
    std::optional<std::string> hostError_;
    std::optional<std::uint8_t> sendVerdict_;
    std::optional<std::string> sendFailure_;
};

}  // namespace corvina::cli
