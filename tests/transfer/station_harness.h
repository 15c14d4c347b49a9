#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "fake_port.h"
#include "link/telnet_transport.h"
#include "session/host_session.h"
#include "sim/simulator.h"
#include "support/recording_event_sink.h"
#include "transfer/session_with_transfers.h"

namespace corvina::testing {

using namespace std::chrono_literals;

// Polls `condition` every 5 ms until it holds or `timeout` passes.
inline bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// One station: a session with its transfers on one simulated modem, its files
// received into folder/tmp. The sink outlives the session.
struct Station {
    explicit Station(IncomingFileSystem& fileSystem = SystemIncomingFileSystem())
        : wired(sink, folder.path(), folder.path(), fileSystem) {}

    HostSession& session() { return wired.session(); }
    FileTransfers& transfers() { return wired.transfers(); }
    std::filesystem::path tmp() const { return folder.path() / "tmp"; }

    bool Connect(std::uint16_t port, std::string& error) {
        auto transport = CreateTelnetTransport("127.0.0.1", port);
        if (!transport->Open(error)) {
            return false;
        }
        SessionSettings settings;
        settings.isTelnetLink = true;
        if (!session().Start(std::move(transport), settings, error)) {
            return false;
        }
        if (!sink.WaitFor(IsKind(UiEventKind::HostmodeActiveEvent), 5s)) {
            error = "no HostmodeActiveEvent";
            return false;
        }
        return true;
    }

    void Command(const std::string& text) {
        session().QueueCommand(std::vector<std::uint8_t>(text.begin(), text.end()));
    }

    // The transfer messages of `kind` posted so far.
    std::vector<BinaryTransferMessage> Messages(BinaryTransferKind kind) const {
        std::vector<BinaryTransferMessage> found;
        for (const UiEvent& event : sink.Events()) {
            const BinaryTransferMessage* message = event.transferMessage();
            if (message != nullptr && message->kind == kind) {
                found.push_back(*message);
            }
        }
        return found;
    }

    std::optional<BinaryTransferMessage> WaitMessage(BinaryTransferKind kind,
                                                     std::chrono::milliseconds timeout,
                                                     std::size_t from = 0) const {
        const auto event = sink.WaitFor(
            [kind](const UiEvent& e) {
                return e.transferMessage() != nullptr && e.transferMessage()->kind == kind;
            },
            timeout, from);
        if (!event) {
            return std::nullopt;
        }
        return *event->transferMessage();
    }

    TempDir folder;
    RecordingEventSink sink;
    SessionWithTransfers wired;
};

// Two stations on two simulated modems sharing one radio channel, connected
// over real TCP, with an ARQ link from a (the caller) to b.
class TwoStations : public ::testing::Test {
  protected:
    static velksim::SimulatorOptions Options(double timeScale) {
        velksim::SimulatorOptions options;
        options.channel.timeScale = timeScale;
        for (const char* call : {"DK1AAA", "DK2BBB"}) {
            velksim::ModemOptions modem;
            modem.name = call;
            options.modems.push_back(modem);
        }
        return options;
    }

    explicit TwoStations(double timeScale = 20) : sim(Options(timeScale)) {}

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(sim.Start(error)) << error;
        ASSERT_TRUE(a.Connect(sim.modem(0).tcpPort(), error)) << error;
        ASSERT_TRUE(b.Connect(sim.modem(1).tcpPort(), error)) << error;
        a.Command("C DK2BBB");
        ASSERT_TRUE(
            WaitUntil([&] { return a.session().arqConnected && b.session().arqConnected; }, 15s))
            << "no ARQ link";
    }

    void TearDown() override {
        a.session().Disconnect(false);
        b.session().Disconnect(false);
    }

    velksim::Simulator sim;
    Station a;
    Station b;
};

}  // namespace corvina::testing
