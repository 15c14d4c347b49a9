#pragma once

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "session/host_session.h"
#include "sim/simulator.h"
#include "support/recording_event_sink.h"
#include "support/temporary_folder.h"

namespace corvina::testing {

using namespace std::chrono_literals;

// One request as velksim logged it.
struct LoggedRequest {
    std::string modem;
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
    std::vector<std::string> Lines() const;
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

    // Opens a TCP link to `modem` and starts the session on channel 4.
    bool ConnectTcp(velksim::Modem& modem, std::string& error);
    // The same over the modem's pseudo-terminal.
    bool ConnectPty(velksim::Modem& modem, std::string& error);
    bool WaitActive(std::chrono::milliseconds timeout = 10s) const;

    TemporaryFolder folder;
    RecordingEventSink sink;
    SessionSettings settings;
    HostSession session;
};

// Starts a simulator whose modems are named (and called) by `calls`, logging
// into `log`. Modem options can be adjusted through `adjust` before the start.
std::unique_ptr<velksim::Simulator> StartSimulator(
    const std::vector<std::string>& calls, SimLog& log, double timeScale = 10.0,
    const std::function<void(velksim::SimulatorOptions&)>& adjust = {});

// Polls `condition` every few milliseconds until it holds; false on time-out.
bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

}  // namespace corvina::testing
