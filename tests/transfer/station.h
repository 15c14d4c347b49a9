#pragma once

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "cvfile/crc32.h"
#include "cvhost/status_predicates.h"
#include "link/serial_transport.h"
#include "link/telnet_transport.h"
#include "support/eventually.h"
#include "support/recording_event_sink.h"
#include "text/conversions.h"
#include "transfer/session_with_transfers.h"
#include "transfer/utf8_path.h"
#include "transfer_harness.h"

namespace corvina::testing {

using namespace std::chrono_literals;

// One station: a session with its transfers, its files received into
// folder/tmp. The sink outlives the session.
struct Station {
    Station() : wired(sink, folder.path(), folder.path() / "tmp") {}

    HostSession& session() { return wired.session(); }
    FileTransfers& transfers() { return wired.transfers(); }
    std::filesystem::path tmp() const { return folder.path() / "tmp"; }

    // Over TCP to `port`, or over the pseudo-terminal at `pty` when given.
    void Connect(std::uint16_t port, const std::filesystem::path& pty) {
        auto transport = pty.empty() ? CreateTelnetTransport("127.0.0.1", port)
                                     : CreateSerialTransport(Utf8ToWide(pty.string()));
        std::string error;
        ASSERT_TRUE(transport->Open(error)) << error;
        SessionSettings settings;
        settings.isTelnetLink = pty.empty();
        ASSERT_TRUE(session().Start(std::move(transport), settings, error)) << error;
        ASSERT_TRUE(sink.WaitFor(IsKind(UiEventKind::HostmodeActiveEvent), 5s));
    }

    void Command(const std::string& text) {
        session().QueueCommand(std::vector<std::uint8_t>(text.begin(), text.end()));
    }

    // The first transfer message of `kind` at or after event `from`, waiting
    // for it up to `timeout` while doing what the window does. Test thread only.
    std::optional<BinaryTransferMessage> WaitMessage(BinaryTransferKind kind,
                                                     std::chrono::milliseconds timeout,
                                                     std::size_t from) {
        std::optional<BinaryTransferMessage> found;
        Eventually(
            [&] {
                PumpWindow();
                const auto events = sink.Events();
                for (std::size_t i = from; i < events.size() && !found; ++i) {
                    const BinaryTransferMessage* m = events[i].transferMessage();
                    found = m != nullptr && m->kind == kind ? std::optional(*m) : std::nullopt;
                }
                return found.has_value();
            },
            timeout);
        return found;
    }

    // Does what the window does with the events posted since the last call:
    // notes from the status polls whether the modem sends and whether the ARQ
    // link is up, cleans up after a link that went, finishes an abort once the
    // binary sender ended, and ends a failed send. Test thread only.
    void PumpWindow() {
        const auto events = sink.Events();
        for (; pumped_ < events.size(); ++pumped_) {
            const UiEvent& event = events[pumped_];
            const HostOutput* output = event.hostOutput();
            if (output != nullptr && output->kind == HostOutputKind::StatusBytes &&
                !output->bytes.empty()) {
                const bool arq = cvhost::IsArqActiveStatus(output->bytes[0]);
                if (arqActive && !arq) {
                    session().CleanUpArqLink();
                }
                arqActive = arq;
                sending = (output->bytes[0] & 0x08) != 0;
            } else if (event.kind == UiEventKind::FileSendFinishedEvent) {
                if (session().binaryAbortRequested) {
                    transfers().FinishBinaryAbort();
                } else if (session().FileResult().second) {
                    transfers().EndFileSend();
                }
            }
        }
    }

    TempDir folder;
    RecordingEventSink sink;
    SessionWithTransfers wired;
    bool arqActive = false;  // as of the last PumpWindow
    bool sending = false;

  private:
    std::size_t pumped_ = 0;
};

// A file sent from one station of the pair, and the name it is stored under.
struct FileCase {
    const char* label;
    bool fromA;
    std::string name;
    Bytes content;
    std::string stored;
};

// Two stations on two modems (DK1AAA and DK2BBB) sharing one radio channel;
// a (the caller) sends first on the ARQ link to b. Subclasses start the
// modems and call Connect.
class StationPair : public ::testing::Test {
  protected:
    void Connect(std::array<std::uint16_t, 2> ports, std::array<std::filesystem::path, 2> ptys) {
        ASSERT_NO_FATAL_FAILURE(a.Connect(ports[0], ptys[0]));
        ASSERT_NO_FATAL_FAILURE(b.Connect(ports[1], ptys[1]));
    }

    void TearDown() override {
        a.session().Disconnect(false);
        b.session().Disconnect(false);
    }

    bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
        return Eventually(
            [&] {
                a.PumpWindow();
                b.PumpWindow();
                return condition();
            },
            timeout);
    }

    void Call() {
        a.Command("C DK2BBB");
        ASSERT_TRUE(
            PumpUntil([&] { return a.session().arqConnected && b.session().arqConnected; }, 15s))
            << "no ARQ link";
        sender_ = &a;
    }

    // The receiving station asks for the sending turn once the other one
    // sends (a request made while the link turns is not taken).
    void TakeSendingTurn(Station& from, Station& to) {
        EXPECT_TRUE(PumpUntil([&] { return to.sending && !from.sending; }, 10s));
        for (int attempt = 0; attempt < 5 && !from.sending; ++attempt) {
            from.Command("%O");
            PumpUntil([&] { return from.sending; }, 2s);
        }
        EXPECT_TRUE(from.sending);
        sender_ = &from;
    }

    // `start` starts a send from `from` to `to` once `from` has the turn; the
    // sender's verdict, after the receiver's (if it reports one) and its echo.
    std::optional<BinaryTransferMessage> Transfer(Station& from, Station& to,
                                                  const std::function<void()>& start,
                                                  bool receiverReports = true) {
        const std::size_t fromMark = from.sink.Size();
        const std::size_t toMark = to.sink.Size();
        if (&from != sender_) {
            TakeSendingTurn(from, to);
        }
        start();
        const auto sent = from.WaitMessage(BinaryTransferKind::SendFinished, 90s, fromMark);
        if (receiverReports) {
            const auto received = to.WaitMessage(BinaryTransferKind::ReceiveFinished, 5s, toMark);
            EXPECT_TRUE(received && sent && received->result == sent->result);
        }
        EXPECT_TRUE(to.WaitMessage(BinaryTransferKind::TransferStateChanged, 10s, toMark));
        from.transfers().EndFileSend();
        EXPECT_TRUE(sent.has_value());
        EXPECT_TRUE(Eventually([&] { return !to.session().incomingTransferActive; }, 10s));
        return sent;
    }

    void ExpectFilesArrive(const std::vector<FileCase>& cases) {
        for (const FileCase& c : cases) {
            SCOPED_TRACE(c.label);
            Station& from = c.fromA ? a : b;
            Station& to = c.fromA ? b : a;
            const auto verdict = Transfer(from, to, [&] {
                const auto started =
                    from.transfers().StartBinaryFileSend(from.folder.Write(c.name, c.content));
                EXPECT_EQ(started.outcome, FileTransfers::StartOutcome::Started) << started.status;
            });
            ASSERT_TRUE(verdict.has_value());
            EXPECT_EQ(verdict->result, static_cast<std::uint8_t>(cvfile::ResultCode::CrcOk));
            EXPECT_EQ(verdict->size, c.content.size());
            EXPECT_EQ(verdict->actualCrc, cvfile::Crc32Ieee(c.content.data(), c.content.size()));
            EXPECT_EQ(ReadFile(to.tmp() / PathFromUtf8(c.stored)), c.content);
        }
    }

    Station a;
    Station b;

  private:
    Station* sender_ = &a;  // the station whose data goes on air
};

}  // namespace corvina::testing
