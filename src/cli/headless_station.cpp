#include "cli/headless_station.h"

#include <algorithm>
#include <cstdio>

#include "cli/exit_status.h"
#include "cvhost/status_predicates.h"
#include "cvrk/connect_text.h"
#include "link/command_script_file.h"
#include "link/serial_transport.h"
#include "link/telnet_transport.h"
#include "session/transcript_writer.h"
#include "text/conversions.h"

namespace corvina::cli {
namespace {

using namespace std::chrono_literals;

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

std::filesystem::path Absolute(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute;
}

// The modem named on the command line, else the one the script names (its
// serial port first, as the window tries it first).
bool ChooseModem(const Options& options, const cvhost::ModemConfiguration& scripted,
                 ModemAddress& modem) {
    modem = options.modem;
    if (modem.kind != ModemAddress::Kind::None) {
        return true;
    }
    if (!scripted.comPort.empty()) {
        modem.kind = ModemAddress::Kind::Serial;
        modem.device = scripted.comPort;
        modem.baudRate = scripted.baudRate;
        return true;
    }
    if (!scripted.telnetHost.empty()) {
        modem.kind = ModemAddress::Kind::Tcp;
        modem.host = scripted.telnetHost;
        return true;
    }
    return false;
}

std::unique_ptr<ITransport> BuildTransport(const ModemAddress& modem) {
    if (modem.kind == ModemAddress::Kind::Serial) {
        return CreateSerialTransport(Utf8ToWide(modem.device), modem.baudRate);
    }
    return CreateTelnetTransport(modem.host, modem.port);
}

}  // namespace

HeadlessStation::HeadlessStation(const Options& options, const EventReport& report,
                                 corvina::TranscriptWriter* transcript)
    : options_(options),
      report_(report),
      transcript_(transcript),
      wired_(*this, {},
             Absolute(options.into.empty() ? std::filesystem::path(".") : options.into)) {
    if (!options.into.empty()) {
        transfers().incoming().SetReceiveFolder(Absolute(options.into));
    }
    if (!options.shutdown.empty()) {
        session().SetShutdownScript(Absolute(options.shutdown));
    } else if (!options.script.empty()) {
        session().SetShutdownScript(Absolute(options.script).parent_path() / "shutdown.txt");
    } else {
        session().SetShutdownScript({});
    }
}

HeadlessStation::~HeadlessStation() {
    Finish(false);
}

void HeadlessStation::Post(UiEvent event) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(std::move(event));
    }
    posted_.notify_one();
}

void HeadlessStation::PostInput(std::optional<std::string> line) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        input_.push_back(std::move(line));
    }
    posted_.notify_one();
}

void HeadlessStation::Interrupt() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        interrupted_ = true;
    }
    posted_.notify_one();
}

HeadlessStation::Wake HeadlessStation::Next(Clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    posted_.wait_until(lock, deadline,
                       [this] { return interrupted_ || !events_.empty() || !input_.empty(); });
    if (!events_.empty()) {
        UiEvent event = std::move(events_.front());
        events_.pop_front();
        lock.unlock();  // handling may disconnect, which joins posting threads
        Handle(event);
        return {WakeKind::Event, {}};
    }
    if (interrupted_) {
        interrupted_ = false;
        return {WakeKind::Interrupted, {}};
    }
    if (!input_.empty()) {
        std::optional<std::string> line = std::move(input_.front());
        input_.pop_front();
        return line ? Wake{WakeKind::Input, std::move(*line)} : Wake{WakeKind::InputClosed, {}};
    }
    return {WakeKind::TimedOut, {}};
}

void HeadlessStation::Emit(const ReportLine& line) {
    std::FILE* stream = line.stream == ReportLine::Stream::Out   ? stdout
                        : line.stream == ReportLine::Stream::Err ? stderr
                                                                 : nullptr;
    if (stream != nullptr && !line.text.empty()) {
        std::fwrite(line.text.data(), 1, line.text.size(), stream);
        std::fflush(stream);
    }
}

void HeadlessStation::Handle(const UiEvent& event) {
    Emit(report_.Describe(event, std::chrono::system_clock::now()));
    if (transcript_ != nullptr && recording_) {
        transcript_->Append(event);
    }
    switch (event.kind) {
        case UiEventKind::HostOutputEvent: {
            const HostOutput* output = event.hostOutput();
            if (output == nullptr) {
                break;
            }
            if (output->kind == HostOutputKind::LinkMessage) {
                if (!cvrk::ExtractConnectedPeer(output->bytes).empty()) {
                    peerConnected_ = true;
                } else if (std::string(output->bytes.begin(), output->bytes.end())
                               .find("DISCONNECTED") != std::string::npos) {
                    peerConnected_ = false;
                    linkEnded_ = true;
                }
            } else if (output->kind == HostOutputKind::StatusBytes && !output->bytes.empty()) {
                const bool arq = cvhost::IsArqActiveStatus(output->bytes[0]);
                if (arqActive_ && !arq) {
                    session().CleanUpArqLink();
                }
                arqActive_ = arq;
            }
            break;
        }
        case UiEventKind::HostmodeActiveEvent:
            hostmodeActive_ = true;
            break;
        case UiEventKind::HostErrorEvent:
            hostError_ = event.errorText() ? *event.errorText() : std::string("modem link failed");
            session().Disconnect(false);
            break;
        case UiEventKind::FileSendFinishedEvent:
            if (event.wParam == 2 && !session().binaryAbortRequested.load()) {
                auto [text, isError] = session().FileResult();
                if (isError) {
                    sendFailure_ = text;
                    Report(text);
                    transfers().EndFileSend();
                }
            }
            break;
        case UiEventKind::BinaryTransferEvent:
            if (const BinaryTransferMessage* m = event.transferMessage();
                m != nullptr && m->kind == BinaryTransferKind::SendFinished) {
                transfers().EndFileSend();
                sendVerdict_ = m->result;
            }
            break;
        default:
            break;
    }
}

int HeadlessStation::Connect(Clock::time_point deadline) {
    cvhost::CommandScript script;
    std::string error;
    if (!options_.script.empty()) {
        const std::filesystem::path path = Absolute(options_.script);
        std::error_code ec;
        if (!std::filesystem::is_regular_file(path, ec)) {
            Report("Could not open " + options_.script.string());
            return kExitUsage;
        }
        if (!ReadOptionalCommandScript(path.parent_path(), path.filename().string(), script,
                                       error)) {
            Report(error);
            return kExitUsage;
        }
    }
    recording_ = script.modem.log;
    ModemAddress modem;
    if (!ChooseModem(options_, script.modem, modem)) {
        Report("No modem: give --modem, or a script with comport= or telnet=");
        return kExitUsage;
    }
    std::unique_ptr<ITransport> transport = BuildTransport(modem);
    if (!transport->Open(error)) {
        Report(error);
        return kExitModemError;
    }
    SessionSettings settings;
    settings.linkChannel = options_.channel;
    settings.isTelnetLink = modem.kind == ModemAddress::Kind::Tcp;
    settings.terminalCommands = script.terminalCommands;
    settings.hostmodeCommands = script.hostmodeCommands;
    if (!session().Start(std::move(transport), settings, error)) {
        Report(error);
        return kExitModemError;
    }
    while (!hostmodeActive_) {
        if (hostError_) {
            return kExitModemError;
        }
        const Wake wake = Next(deadline);
        if (wake.kind == WakeKind::TimedOut || wake.kind == WakeKind::Interrupted) {
            Finish(wake.kind == WakeKind::Interrupted);
            return wake.kind == WakeKind::TimedOut ? kExitTimeout : kExitInterrupted;
        }
    }
    return kExitOk;
}

int HeadlessStation::Call(const std::string& call, Clock::time_point deadline) {
    const std::string command = "C " + call;
    if (session().SubmitCommand(Bytes(command)).outcome != HostSession::SubmitOutcome::Queued) {
        Report("Cannot call \"" + call + "\"");
        return kExitUsage;
    }
    if (transcript_ != nullptr && recording_) {
        transcript_->Append(TranscriptKind::Command, command);
    }
    linkEnded_ = false;
    while (!linkUp()) {
        if (hostError_) {
            return kExitModemError;
        }
        if (linkEnded_) {
            Report("No link to " + call);
            return kExitNoLink;
        }
        const Wake wake = Next(deadline);
        if (wake.kind == WakeKind::TimedOut) {
            Report("No link to " + call + " before the time-out");
            return kExitTimeout;
        }
        if (wake.kind == WakeKind::Interrupted) {
            session().QueueCommand(Bytes("D"));  // abort the call
            return kExitInterrupted;
        }
    }
    return kExitOk;
}

void HeadlessStation::EndLink(Clock::time_point deadline) {
    if (!peerConnected_ && !session().arqConnected.load() &&
        session().linkState.load() == kLinkNone) {
        return;
    }
    // The worker sends commands before data, so "D" waits until the modem
    // holds every byte queued for the link; the modem sends those before it
    // ends the link.
    while (!linkEnded_ && !hostError_ && session().sessionActive() &&
           !session().WithQueues([](HostQueues& q) { return q.outboundQueue.empty(); })) {
        const WakeKind kind = Next(std::min(deadline, Clock::now() + 100ms)).kind;
        if (kind == WakeKind::Interrupted || Clock::now() >= deadline) {
            break;
        }
    }
    linkEnded_ = false;
    session().QueueCommand(Bytes("D"));
    while (!linkEnded_ && !hostError_ && session().sessionActive()) {
        const WakeKind kind = Next(deadline).kind;
        if (kind == WakeKind::TimedOut || kind == WakeKind::Interrupted) {
            return;
        }
    }
}

void HeadlessStation::Finish(bool orderly) {
    session().Disconnect(orderly && !hostError_);
    peerConnected_ = false;
    arqActive_ = false;
    hostmodeActive_ = false;
}

}  // namespace corvina::cli
