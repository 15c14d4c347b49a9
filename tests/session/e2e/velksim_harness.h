#pragma once

#include <unistd.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <vector>

#include "link/serial_transport.h"
#include "link/telnet_transport.h"
#include "session_harness.h"
#include "sim/simulator.h"
#include "text/conversions.h"

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
    void Add(const std::string& line) {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.emplace_back(std::chrono::steady_clock::now(), line);
    }

    // The requests `modem` received, in order.
    std::vector<LoggedRequest> Requests(const std::string& modem) const {
        static const std::regex kRequest(
            R"(^(\S+) < ch (\d+) (cmd|data) seq ([01])( start)? '(.*)'$)");
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<LoggedRequest> requests;
        for (const auto& [at, line] : lines_) {
            std::smatch match;
            if (std::regex_match(line, match, kRequest) && match[1] == modem) {
                const bool command = match[3] == "cmd";
                requests.push_back({std::stoi(match[2]), command, match[4] == "1", match[5].matched,
                                    command ? std::string(match[6]) : "", at});
            }
        }
        return requests;
    }

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
                                       std::chrono::milliseconds timeout = 10s) {
        auto transport = pty ? CreateSerialTransport(Utf8ToWide(modem.ptyLink().string()))
                             : CreateTelnetTransport("127.0.0.1", modem.tcpPort());
        settings.isTelnetLink = !pty;
        std::string error;
        if (!transport->Open(error) || !session.Start(std::move(transport), settings, error)) {
            return ::testing::AssertionFailure() << error;
        }
        if (!sink.WaitFor(IsKind(UiEventKind::HostmodeActiveEvent), timeout)) {
            return ::testing::AssertionFailure() << "hostmode never became active";
        }
        return ::testing::AssertionSuccess();
    }
    std::size_t Errors() const { return sink.Count(IsKind(UiEventKind::HostErrorEvent)); }

    TemporaryFolder folder;
    RecordingEventSink sink;
    SessionSettings settings;
    HostSession session;
};

// Starts a simulator whose modems are named (and called) by `calls`, logging
// into `log`; `adjust` may change the options first. A modem with a
// pseudo-terminal gets a link path of its own.
inline std::unique_ptr<velksim::Simulator> StartSimulator(
    const std::vector<std::string>& calls, SimLog& log,
    const std::function<void(velksim::SimulatorOptions&)>& adjust = {}, double timeScale = 10.0) {
    velksim::SimulatorOptions options;
    options.channel.timeScale = timeScale;
    for (const std::string& call : calls) {
        velksim::ModemOptions modem;
        modem.name = call;
        modem.ptyLink = std::filesystem::temp_directory_path() /
                        ("corvina-session-" + call + "-" + std::to_string(::getpid()));
        options.modems.push_back(modem);
    }
    options.log = [&log](const std::string& line) { log.Add(line); };
    if (adjust) {
        adjust(options);
    }
    auto simulator = std::make_unique<velksim::Simulator>(options);
    std::string error;
    if (!simulator->Start(error)) {
        ADD_FAILURE() << "velksim: " << error;
        return nullptr;
    }
    return simulator;
}

}  // namespace corvina::testing
