#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "cvhost/status_predicates.h"
#include "fake_port.h"
#include "link/serial_transport.h"
#include "link/telnet_transport.h"
#include "session/host_session.h"
#include "support/recording_event_sink.h"
#include "text/conversions.h"
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
    Station() : wired(sink, folder.path(), folder.path() / "tmp") {}

    HostSession& session() { return wired.session(); }
    FileTransfers& transfers() { return wired.transfers(); }
    std::filesystem::path tmp() const { return folder.path() / "tmp"; }

    // Over TCP to `port`, or over the pseudo-terminal at `pty` when given.
    bool Connect(std::uint16_t port, std::string& error, const std::filesystem::path& pty = {}) {
        auto transport = pty.empty() ? CreateTelnetTransport("127.0.0.1", port)
                                     : CreateSerialTransport(Utf8ToWide(pty.string()));
        if (!transport->Open(error)) {
            return false;
        }
        SessionSettings settings;
        settings.isTelnetLink = pty.empty();
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

    // True when the last status poll showed this station's modem sending.
    bool Sending() const {
        const auto events = sink.Events();
        for (auto it = events.rbegin(); it != events.rend(); ++it) {
            const HostOutput* output = it->hostOutput();
            if (output != nullptr && output->kind == HostOutputKind::StatusBytes &&
                !output->bytes.empty()) {
                return (output->bytes[0] & 0x08) != 0;
            }
        }
        return false;
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

    // Does what the window does with the events posted since the last call
    // that end links and sends: the ARQ clean-up when a status poll shows the
    // link gone, and the end of a send that failed. Stands in for the window
    // thread: call it only from the test's thread.
    void PumpWindow() {
        const auto events = sink.Events();
        for (; pumped_ < events.size(); ++pumped_) {
            const UiEvent& event = events[pumped_];
            const HostOutput* output = event.hostOutput();
            if (output != nullptr && output->kind == HostOutputKind::StatusBytes &&
                !output->bytes.empty()) {
                const bool arq = cvhost::IsArqActiveStatus(output->bytes[0]);
                if (arqActive_ && !arq) {
                    session().CleanUpArqLink();
                }
                arqActive_ = arq;
            } else if (event.kind == UiEventKind::FileSendFinishedEvent &&
                       session().FileResult().second) {
                transfers().EndFileSend();
            }
        }
    }

    // The window's view of the ARQ link, as of the last PumpWindow.
    bool arqActive() const { return arqActive_; }

    TempDir folder;
    RecordingEventSink sink;
    SessionWithTransfers wired;

  private:
    std::size_t pumped_ = 0;
    bool arqActive_ = false;
};

// Two stations on two modems (DK1AAA and DK2BBB) sharing one radio channel,
// connected over real TCP, with an ARQ link from a (the caller) to b. Where the
// modems run is up to the subclass.
class StationPair : public ::testing::Test {
  protected:
    explicit StationPair(bool callOnSetUp = true) : callOnSetUp_(callOnSetUp) {}

    // Makes the modems ready; false with the reason in `error`.
    virtual bool StartModems(std::string& error) = 0;
    // The TCP port of modem 0 (DK1AAA) or 1 (DK2BBB).
    virtual std::uint16_t ModemPort(int modem) = 0;
    // The pseudo-terminal to reach that modem by instead, or empty for TCP.
    virtual std::filesystem::path ModemPty(int /*modem*/) { return {}; }

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(StartModems(error)) << error;
        ASSERT_TRUE(a.Connect(ModemPort(0), error, ModemPty(0))) << error;
        ASSERT_TRUE(b.Connect(ModemPort(1), error, ModemPty(1))) << error;
        if (callOnSetUp_) {
            Call();
        }
    }

    // Station a calls b; a sends first on the new link.
    void Call() {
        a.Command("C DK2BBB");
        ASSERT_TRUE(WaitUntil(
            [&] {
                a.PumpWindow();
                b.PumpWindow();
                return a.session().arqConnected && b.session().arqConnected;
            },
            15s))
            << "no ARQ link";
        sender_ = &a;
    }

    void TearDown() override {
        a.session().Disconnect(false);
        b.session().Disconnect(false);
    }

    // Has `from` send to `to` (taking the sending turn first when needed):
    // `start` starts the send. Then waits for the verdict on both sides and
    // for the receiver's second changeover; the sender's verdict, or nothing
    // when one side never showed it.
    std::optional<BinaryTransferMessage> Transfer(Station& from, Station& to,
                                                  const std::function<void()>& start,
                                                  bool receiverReports = true) {
        const std::size_t fromMark = from.sink.Size();
        const std::size_t toMark = to.sink.Size();
        if (&from != sender_) {
            TakeSendingTurn(from, to);
        }
        start();
        return AwaitVerdicts(from, to, fromMark, toMark, 90s, receiverReports);
    }

    std::optional<BinaryTransferMessage> SendFile(Station& from, Station& to,
                                                  const std::string& name,
                                                  const std::vector<std::uint8_t>& content) {
        return Transfer(from, to, [&] {
            const auto started =
                from.transfers().StartBinaryFileSend(from.folder.Write(name, content));
            EXPECT_EQ(started.outcome, FileTransfers::StartOutcome::Started) << started.status;
        });
    }

    // Station a sends `stream` to b as plain channel data, expecting the
    // verdict on a transfer with these figures.
    std::optional<BinaryTransferMessage> SendByHand(const std::vector<std::uint8_t>& stream,
                                                    std::uint64_t id, std::uint64_t size,
                                                    std::uint32_t crc,
                                                    bool receiverReports = true) {
        return Transfer(
            a, b,
            [&] {
                a.transfers().outgoing().Prepare(id, size, "by hand");
                a.transfers().outgoing().Built(size, 1, crc);
                a.session().binarySendActive = true;
                a.session().fileSendActive = true;
                EXPECT_TRUE(a.session().QueueData(stream, OutboundKind::TransmitText));
            },
            receiverReports);
    }

    std::optional<BinaryTransferMessage> AwaitVerdicts(Station& from, Station& to,
                                                       std::size_t fromMark, std::size_t toMark,
                                                       std::chrono::milliseconds timeout,
                                                       bool receiverReports = true) {
        const auto sent = from.WaitMessage(BinaryTransferKind::SendFinished, timeout, fromMark);
        std::optional<BinaryTransferMessage> received;
        if (receiverReports) {
            received = to.WaitMessage(BinaryTransferKind::ReceiveFinished, 5s, toMark);
            EXPECT_TRUE(received.has_value());
        }
        EXPECT_TRUE(to.WaitMessage(BinaryTransferKind::TransferStateChanged, 10s, toMark));
        from.transfers().EndFileSend();
        EXPECT_TRUE(sent.has_value());
        if (!sent) {
            return std::nullopt;
        }
        EXPECT_TRUE(!received || received->result == sent->result);
        // The receiver's second changeover gives the turn back to the sender.
        EXPECT_TRUE(WaitUntil([&] { return !to.session().incomingTransferActive; }, 10s));
        return sent;
    }

    // The receiving station of the ARQ link asks for the sending turn, once
    // the other station is sending (a request made while the link turns is
    // not taken), and waits until its modem reports it as the sender.
    void TakeSendingTurn(Station& from, Station& to) {
        EXPECT_TRUE(WaitUntil([&] { return to.Sending() && !from.Sending(); }, 10s));
        for (int attempt = 0; attempt < 5 && !from.Sending(); ++attempt) {
            from.Command("%O");
            WaitUntil([&] { return from.Sending(); }, 2s);
        }
        EXPECT_TRUE(from.Sending());
        sender_ = &from;
    }

    Station a;
    Station b;

  private:
    bool callOnSetUp_;
    Station* sender_ = &a;  // the station whose data goes on air
};

}  // namespace corvina::testing
