#include "e2e/velksim_harness.h"

#include <unistd.h>

#include <regex>

#include "link/serial_transport.h"
#include "link/telnet_transport.h"
#include "text/conversions.h"

namespace corvina::testing {

void SimLog::Add(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.emplace_back(std::chrono::steady_clock::now(), line);
}

std::vector<LoggedRequest> SimLog::Requests(const std::string& modem) const {
    static const std::regex kRequest(R"(^(\S+) < ch (\d+) (cmd|data) seq ([01])( start)? '(.*)'$)");
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<LoggedRequest> requests;
    for (const auto& [at, line] : lines_) {
        std::smatch match;
        if (std::regex_match(line, match, kRequest) && match[1] == modem) {
            const bool command = match[3] == "cmd";
            requests.push_back({std::stoi(match[2]), command, match[4] == "1", match[5].matched,
                                command ? std::string(match[6]) : std::string(), at});
        }
    }
    return requests;
}

::testing::AssertionResult Station::Connect(velksim::Modem& modem, bool pty,
                                            std::chrono::milliseconds timeout) {
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

std::unique_ptr<velksim::Simulator> StartSimulator(
    const std::vector<std::string>& calls, SimLog& log,
    const std::function<void(velksim::SimulatorOptions&)>& adjust, double timeScale) {
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
