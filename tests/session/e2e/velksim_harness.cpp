#include "e2e/velksim_harness.h"

#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "link/serial_transport.h"
#include "link/telnet_transport.h"
#include "text/conversions.h"

namespace corvina::testing {

void SimLog::Add(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.emplace_back(std::chrono::steady_clock::now(), line);
}

std::vector<std::string> SimLog::Lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> lines;
    for (const auto& entry : lines_) {
        lines.push_back(entry.second);
    }
    return lines;
}

std::vector<LoggedRequest> SimLog::Requests(const std::string& modem) const {
    static const std::regex kRequest(R"(^(\S+) < ch (\d+) (cmd|data) seq ([01])( start)? '(.*)'$)");
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<LoggedRequest> requests;
    for (const auto& [at, line] : lines_) {
        std::smatch match;
        if (!std::regex_match(line, match, kRequest) || match[1] != modem) {
            continue;
        }
        LoggedRequest request;
        request.modem = match[1];
        request.channel = std::stoi(match[2]);
        request.command = match[3] == "cmd";
        request.sequenceBit = match[4] == "1";
        request.sequenceStart = match[5].matched;
        request.text = request.command ? std::string(match[6]) : std::string();
        request.at = at;
        requests.push_back(request);
    }
    return requests;
}

bool Station::ConnectTcp(velksim::Modem& modem, std::string& error) {
    auto transport = CreateTelnetTransport("127.0.0.1", modem.tcpPort());
    if (!transport->Open(error)) {
        return false;
    }
    settings.isTelnetLink = true;
    return session.Start(std::move(transport), settings, error);
}

bool Station::ConnectPty(velksim::Modem& modem, std::string& error) {
    auto transport = CreateSerialTransport(Utf8ToWide(modem.ptyLink().string()));
    if (!transport->Open(error)) {
        return false;
    }
    settings.isTelnetLink = false;
    return session.Start(std::move(transport), settings, error);
}

bool Station::WaitActive(std::chrono::milliseconds timeout) const {
    return sink.WaitFor(IsKind(UiEventKind::HostmodeActiveEvent), timeout).has_value();
}

std::unique_ptr<velksim::Simulator> StartSimulator(
    const std::vector<std::string>& calls, SimLog& log, double timeScale,
    const std::function<void(velksim::SimulatorOptions&)>& adjust) {
    velksim::SimulatorOptions options;
    options.channel.timeScale = timeScale;
    for (const std::string& call : calls) {
        velksim::ModemOptions modem;
        modem.name = call;
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

bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

}  // namespace corvina::testing
