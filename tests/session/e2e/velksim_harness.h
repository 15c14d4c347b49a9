#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <vector>

#include "cvhost/sirvex_commands.h"
#include "cvrk/connect_text.h"
#include "link/serial_transport.h"
#include "link/telnet_transport.h"
#include "session/host_session.h"
#include "sim/simulator.h"
#include "support/eventually.h"
#include "support/hostmode_wire.h"
#include "support/recording_event_sink.h"
#include "support/temporary_folder.h"
#include "text/conversions.h"

namespace corvina::testing {

using namespace std::chrono_literals;

// One request as velksim logged it.
struct LoggedRequest {
    int channel = 0;
    bool command = false;
    bool sequenceBit = false;
    bool sequenceStart = false;
    std::string text;  // commands in full; data as velksim prints its first bytes
    std::chrono::steady_clock::time_point at;
};

// Collects velksim's frame log. The simulator calls Add with its own lock held,
// so Add only takes this object's lock, and a hook may only change the modem's
// faults (atomics), never call into the simulator.
class SimLog {
  public:
    void Add(const std::string& line) {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.emplace_back(std::chrono::steady_clock::now(), line);
        if (hook_) {
            hook_(line);
        }
    }
    void SetHook(std::function<void(const std::string&)> hook) {
        std::lock_guard<std::mutex> lock(mutex_);
        hook_ = std::move(hook);
    }

    // The requests `modem` received, in order.
    std::vector<LoggedRequest> Requests(const std::string& modem = "AB1CD") const {
        static const std::regex kRequest(
            R"(^(\S+) < ch (\d+) (cmd|data) seq ([01])( start)? '(.*)'$)");
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<LoggedRequest> requests;
        for (const auto& [at, line] : lines_) {
            std::smatch match;
            if (std::regex_match(line, match, kRequest) && match[1] == modem) {
                requests.push_back({std::stoi(match[2]), match[3] == "cmd", match[4] == "1",
                                    match[5].matched, match[6], at});
            }
        }
        return requests;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::pair<std::chrono::steady_clock::time_point, std::string>> lines_;
    std::function<void(const std::string&)> hook_;
};

// A host session with its own event sink and script folder, as one program
// window would have. Declared so the session goes before the sink.
struct Station {
    explicit Station(TransferHooks* hooks = nullptr) : session(sink, folder.path(), hooks) {}

    // Opens the modem's TCP port or pseudo-terminal and starts the session on
    // channel 4; `waitActive` also waits until hostmode is active.
    ::testing::AssertionResult Connect(velksim::Modem& modem, bool pty = false,
                                       std::chrono::milliseconds timeout = 10s,
                                       bool waitActive = true) {
        auto transport = pty ? CreateSerialTransport(Utf8ToWide(modem.ptyLink().string()))
                             : CreateTelnetTransport("127.0.0.1", modem.tcpPort());
        settings.isTelnetLink = !pty;
        std::string error;
        if (!transport->Open(error) || !session.Start(std::move(transport), settings, error)) {
            return ::testing::AssertionFailure() << error;
        }
        if (waitActive && !sink.WaitFor(IsKind(UiEventKind::HostmodeActiveEvent), timeout)) {
            return ::testing::AssertionFailure() << "hostmode never became active";
        }
        return ::testing::AssertionSuccess();
    }
    std::size_t Errors() const { return sink.Count(IsKind(UiEventKind::HostErrorEvent)); }
    std::string Shown(HostOutputKind kind) const { return JoinedOutput(sink.Events(), kind); }
    // Starts a FEC broadcast, which lets the session send without a peer.
    ::testing::AssertionResult Broadcast() {
        session.linkState = kLinkFec;
        session.QueueCommand(cvhost::BuildSirvexFecStartCommand(cvhost::SirvexFecMode::S1));
        return Eventually([&] { return session.linkCanSend.load(); }, 5s)
                   ? ::testing::AssertionSuccess()
                   : ::testing::AssertionFailure() << "the broadcast never started";
    }

    TemporaryFolder folder;
    RecordingEventSink sink;
    SessionSettings settings;
    HostSession session;
};

// Numbered lines, so that a lost, doubled or misplaced piece shows.
inline std::string NumberedLines(std::size_t size, int first = 0) {
    std::string text;
    for (int line = first; text.size() < size; ++line) {
        text += "line " + std::to_string(line) + " of the long exchange\r\n";
    }
    return text.substr(0, size);
}

// Starts a simulator whose modems are named (and called) by `calls`, logging
// into `log`; `adjust` may change the options first. A modem with a
// pseudo-terminal gets a link path of its own. One that failed to start leaves
// its modems without ports, so connecting to them fails.
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
    EXPECT_TRUE(simulator->Start(error)) << "velksim: " << error;
    return simulator;
}

// One station on its own modem AB1CD, not yet connected.
struct OneModem : ::testing::Test {
    SimLog log;
    std::unique_ptr<velksim::Simulator> sim = StartSimulator({"AB1CD"}, log);
    velksim::Modem& modem = sim->modem(0);
    Station station;
};

// Two stations, AB1CD (a) and XY2Z (b), each on its own modem.
struct StationPair {
    explicit StationPair(TransferHooks* hooksOfA = nullptr,
                         const std::function<void(velksim::SimulatorOptions&)>& adjust = {},
                         double timeScale = 10.0)
        : sim(StartSimulator({"AB1CD", "XY2Z"}, log, adjust, timeScale)), a(hooksOfA) {}

    ::testing::AssertionResult Connect() {
        auto result = a.Connect(sim->modem(0));
        return result ? b.Connect(sim->modem(1)) : result;
    }
    // a calls b and both see the ARQ link.
    ::testing::AssertionResult Call() {
        a.session.QueueCommand(cvrk::BuildRobustConnectCommand("XY2Z"));
        return Eventually([&] { return a.session.arqConnected && b.session.arqConnected; }, 10s)
                   ? ::testing::AssertionSuccess()
                   : ::testing::AssertionFailure() << "no ARQ link";
    }

    SimLog log;
    std::unique_ptr<velksim::Simulator> sim;
    Station a;
    Station b;
};

}  // namespace corvina::testing
