#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "session_harness.h"
#include "sim/simulator.h"

namespace corvina::testing {

// One request as velksim logged it.
struct LoggedRequest {
    int channel = 0;
    bool command = false;
    bool sequenceBit = false;
    bool sequenceStart = false;
    std::string text;  // commands only
    std::chrono::steady_clock::time_point at;
};

// Collects velksim's frame log. The simulator calls Add with its own lock held,
// so Add only takes this object's lock.
class SimLog {
  public:
    void Add(const std::string& line);
    // The requests `modem` received, in order.
    std::vector<LoggedRequest> Requests(const std::string& modem) const;

  private:
    mutable std::mutex mutex_;
    std::vector<std::pair<std::chrono::steady_clock::time_point, std::string>> lines_;
};

// A host session with its own event sink and script folder, as one program
// window would have. Declared so the session goes before the sink.
struct Station {
    Station() : session(sink, folder.path()) {}

    // Opens the modem's TCP port or pseudo-terminal, starts the session on
    // channel 4 and waits until hostmode is active.
    ::testing::AssertionResult Connect(velksim::Modem& modem, bool pty = false,
                                       std::chrono::milliseconds timeout = 10s);
    std::size_t Errors() const { return sink.Count(IsKind(UiEventKind::HostErrorEvent)); }

    TemporaryFolder folder;
    RecordingEventSink sink;
    SessionSettings settings;
    HostSession session;
};

// Starts a simulator whose modems are named (and called) by `calls`, logging
// into `log`; `adjust` may change the options first. A modem with a
// pseudo-terminal gets a link path of its own.
std::unique_ptr<velksim::Simulator> StartSimulator(
    const std::vector<std::string>& calls, SimLog& log,
    const std::function<void(velksim::SimulatorOptions&)>& adjust = {}, double timeScale = 10.0);

}  // namespace corvina::testing
