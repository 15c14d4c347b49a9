// The host worker thread: session start-up in hostmode, the loop that carries
// commands and data and polls the modem, the cancel step of a binary send and
// the orderly shutdown sequence.

#include <algorithm>
#include <exception>
#include <optional>
#include <string>

#include "cvfile/record_codec.h"
#include "cvhost/link_status.h"
#include "cvrk/call_sign.h"
#include "link/command_script_file.h"
#include "session/host_session.h"
#include "session/session_constants.h"
#include "text/conversions.h"

namespace corvina {

using namespace session_constants;

namespace {

constexpr std::string_view kMyCommandRejected = "startup.txt MY command was rejected by the modem";
constexpr std::string_view kBadLinkStatus = "Invalid response to Hostmode L command";
constexpr std::string_view kRefusedDataDropped =
    "*** Queued data dropped: the modem kept refusing it\r\n";
constexpr std::string_view kTextSendRefused =
    "Text file transfer ended: the modem refused the data";
constexpr std::string_view kBinarySendRefused =
    "Binary file transfer ended: the modem refused the data";

constexpr std::uint8_t kErrorAnswerCode = 2;

std::vector<std::uint8_t> ToBytes(std::string_view text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

// A call sign answered by the modem, when it is a valid one by `normalize`.
std::optional<std::string> AnsweredCall(const cvhost::Frame& answer,
                                        bool (*normalize)(std::string&)) {
    if (answer.code != 1) {
        return std::nullopt;
    }
    std::string call(answer.payload.begin(), answer.payload.end());
    if (!normalize(call)) {
        return std::nullopt;
    }
    return call;
}

}  // namespace

void HostSession::HostWorker() {
    std::string error;
    const bool failed = !WorkerStartUp(error) || !WorkerLoop(error);
    if (stopRequested && orderlyShutdown && transport_) {
        RunShutdownSequence();
        return;
    }
    if (failed) {
        PostHostError(error);
    }
}

bool HostSession::WorkerStartUp(std::string& error) {
    cvhost::Frame answer;
    if (!HostCommand(linkChannel_, "%M 1", answer, error)) {
        return false;
    }
    if (!startupMycall_.empty()) {
        const Bytes command =
            ToBytes("I " + std::string(startupMycall_.begin(), startupMycall_.end()));
        if (!HostTransact(linkChannel_, true, command, answer, error, false, kAttempts)) {
            return false;
        }
        if (answer.code != 0) {
            error = kMyCommandRejected;
            if (!answer.payload.empty()) {
                error += ": " + WideToUtf8(BytesToWide(answer.payload));
            }
            return false;
        }
    }
    for (const Bytes& command : hostStartupCommands_) {
        if (!HostTransact(linkChannel_, true, command, answer, error, false, kAttempts)) {
            return false;
        }
        PostStartupCommand("Host", command);
        DispatchHostResponse(answer);
    }
    if (!HostCommand(linkChannel_, "I", answer, error)) {
        return false;
    }
    if (auto call = AnsweredCall(answer, cvrk::NormalizeOwnCall)) {
        std::lock_guard<std::mutex> lock(callMutex_);
        ownCall_ = std::move(*call);
    }
    if (!HostCommand(linkChannel_, "C", answer, error)) {
        return false;
    }
    if (auto call = AnsweredCall(answer, cvrk::NormalizeCall)) {
        SetConnectedPeer(std::move(*call));
    }
    if (!PollStatus(error)) {
        return false;
    }
    Post(UiEvent::Plain(UiEventKind::HostmodeActiveEvent));
    return true;
}

bool HostSession::WorkerLoop(std::string& error) {
    Clock::time_point nextPoll = Clock::now();
    Clock::time_point nextData = nextPoll;
    const auto outboundEmpty = [this] {
        return WithQueues([](HostQueues& queues) { return queues.outboundQueue.empty(); });
    };
    const auto pollWhenDue = [&] {
        if (Clock::now() < nextPoll) {
            return true;
        }
        if (!PollExtended(error)) {
            return false;
        }
        nextPoll = Clock::now() + kPollInterval;
        return true;
    };

    for (;;) {
        if (stopRequested) {
            return true;
        }
        if (endBroadcastRequested.exchange(false)) {
            WithQueues([](HostQueues& queues) {
                queues.outboundQueue.clear();
                queues.commandQueue.push_front(ToBytes("D"));
            });
        }
        if (binaryCancelRequested.exchange(false)) {
            CancelStep();
        }

        std::optional<Bytes> command = WithQueues([](HostQueues& queues) -> std::optional<Bytes> {
            if (queues.commandQueue.empty()) {
                return std::nullopt;
            }
            return queues.commandQueue.front();
        });
        if (command) {
            cvhost::Frame answer;
            if (!HostTransact(linkChannel_, true, *command, answer, error, false, kAttempts)) {
                return false;
            }
            WithQueues([](HostQueues& queues) {
                if (!queues.commandQueue.empty()) {
                    queues.commandQueue.pop_front();
                }
            });
            DispatchHostResponse(answer);
        }

        // On the TCP link data that is due goes before the pending-output poll,
        // which then follows the data.
        const Clock::time_point passStart = Clock::now();
        const bool dataDue = passStart >= nextData && !outboundEmpty();
        if (!(isTelnetLink_ && dataDue) && !pollWhenDue()) {
            return false;
        }

        bool flowing = false;
        if (outboundEmpty()) {
            refusedSince_.reset();  // whatever was refused has gone
            if (textFileDraining_ && Clock::now() >= nextData) {
                if (!DrainStep(error)) {
                    return false;
                }
                nextData = Clock::now() + kLinkQueryInterval;
            }
            flowing = textFileDraining_;
        } else if (Clock::now() >= nextData) {
            const Clock::time_point queryTime = Clock::now();
            cvhost::LinkStatus status;
            if (!QueryLinkStatus(status, error)) {
                return false;
            }
            if (status.PendingFrames() <= kMaxPendingFrames) {
                bool refused = false;
                if (!DataStep(error, refused)) {
                    return false;
                }
                if (refused) {
                    nextData = Clock::now() + kRefusedDataPause;
                } else {
                    nextData = (isTelnetLink_ ? queryTime : Clock::now()) + kLinkQueryInterval;
                    flowing = !outboundEmpty();
                }
            } else {
                nextData = Clock::now() + kFullBufferPause;
            }
        }

        if (isTelnetLink_ && !pollWhenDue()) {
            return false;
        }
        WaitForWork(flowing ? nextData : Clock::now() + kIdleWait);
    }
}

bool HostSession::DataStep(std::string& error, bool& refused) {
    std::size_t budget = kMaxFrameData;
    while (budget > 0 && !stopRequested) {
        struct Piece {
            Bytes bytes;
            OutboundKind kind = OutboundKind::TransmitText;
            std::uint64_t tag = 0;
        };
        std::optional<Piece> piece = WithQueues([&](HostQueues& queues) -> std::optional<Piece> {
            if (queues.outboundQueue.empty()) {
                return std::nullopt;
            }
            OutboundItem& item = queues.outboundQueue.front();
            if (item.tag == 0) {
                item.tag = ++nextItemTag_;
            }
            const std::size_t left =
                item.bytes.size() - std::min<std::size_t>(item.offset, item.bytes.size());
            const std::size_t n = std::min({left, kMaxFrameData, budget});
            const auto from = item.bytes.begin() + static_cast<std::ptrdiff_t>(item.offset);
            return Piece{Bytes(from, from + static_cast<std::ptrdiff_t>(n)), item.kind, item.tag};
        });
        if (!piece) {
            break;
        }
        const std::size_t n = piece->bytes.size();
        if (n > 0) {
            cvhost::Frame answer;
            if (!HostTransact(linkChannel_, false, piece->bytes, answer, error, false, kAttempts)) {
                return false;
            }
            if (answer.code == kErrorAnswerCode) {
                refused = true;
                return HandleRefusedData(answer, error);
            }
            refusedSince_.reset();
        }

        bool completed = false;
        std::uint32_t percent = 0;
        WithQueues([&](HostQueues& queues) {
            if (piece->kind == OutboundKind::TextFile) {
                queues.sendSentBytes += n;
                percent = queues.sendTotalBytes == 0
                              ? 100
                              : static_cast<std::uint32_t>(std::min<std::uint64_t>(
                                    100, queues.sendSentBytes * 100 / queues.sendTotalBytes));
            }
            // The item may have been withdrawn while its piece was on the way (a
            // link clean-up or the operator's disconnect), and another queued
            // since; that one has sent nothing yet.
            if (queues.outboundQueue.empty() || queues.outboundQueue.front().tag != piece->tag) {
                return;
            }
            OutboundItem& item = queues.outboundQueue.front();
            item.offset += n;
            if (item.offset >= item.bytes.size()) {
                queues.outboundQueue.pop_front();
                completed = true;
            }
        });
        budget -= n;

        if (piece->kind == OutboundKind::TextFile) {
            Post(UiEvent::Plain(UiEventKind::FileSendProgressEvent, percent, 0));
        }
        if (completed) {
            if (piece->kind == OutboundKind::TextFile) {
                textFileDraining_ = true;
            } else if (piece->kind == OutboundKind::BinaryFile) {
                Post(UiEvent::Plain(UiEventKind::FileSendFinishedEvent, 2));
            } else if (piece->kind == OutboundKind::ChangeoverText) {
                WithQueues(
                    [](HostQueues& queues) { queues.commandQueue.push_back(ToBytes("%O")); });
                queueChanged_.notify_one();
                changeoverPending = false;
            }
        }
    }
    return true;
}

// The link channel's "L" answer; anything but a well-formed one is a fault of
// the conversation with the modem and ends the session.
bool HostSession::QueryLinkStatus(cvhost::LinkStatus& status, std::string& error) {
    cvhost::Frame answer;
    if (!HostCommand(linkChannel_, "L", answer, error)) {
        return false;
    }
    if (answer.code != 1 || !cvhost::ParseLinkStatus(answer.payload, status)) {
        error = kBadLinkStatus;
        return false;
    }
    return true;
}

// A text send is over when the modem has sent the file, not when it holds it:
// a link that ends before then takes the rest along, and the operator must be
// told the send ended rather than see it pass for done.
bool HostSession::DrainStep(std::string& error) {
    cvhost::LinkStatus status;
    if (!QueryLinkStatus(status, error)) {
        return false;
    }
    if (status.PendingFrames() != 0) {
        return true;
    }
    // A modem empties its buffer when the link ends, too: only a link that is
    // still there has sent the file, and the link's clean-up reports the rest.
    if (!PollStatus(error)) {
        return false;
    }
    if (linkCanSend && textFileDraining_.exchange(false)) {
        Post(UiEvent::Plain(UiEventKind::FileSendFinishedEvent, 1));
    }
    return true;
}

// A refused data frame is the link ending, or the modem not taking data for
// the moment; neither is a fault of the session. The status poll shows which:
// a link that has gone takes its queued data with it, and data for a link that
// is still up waits and is offered again, up to refusedDataLimit_.
bool HostSession::HandleRefusedData(const cvhost::Frame& answer, std::string& error) {
    const Clock::time_point now = Clock::now();
    if (!refusedSince_) {
        refusedSince_ = now;
        DispatchHostResponse(answer);  // the modem's reason, once per refusal
    }
    if (!PollStatus(error)) {
        return false;
    }
    if (now - *refusedSince_ >= refusedDataLimit_) {
        DropRefusedData();
    }
    return true;
}

namespace {

// Whether a binary item in the queue has gone out up to somewhere inside a
// record: whatever is sent next must first close that record with a 0x00, or
// the far end reads it as the rest of the cut record and every record after
// it out of phase.
bool EndsInsideRecord(const HostQueues& queues) {
    return std::any_of(
        queues.outboundQueue.begin(), queues.outboundQueue.end(), [](const OutboundItem& item) {
            return item.kind == OutboundKind::BinaryFile && item.offset != 0 &&
                   cvfile::FramedPrefixEndsInsideRecord(
                       item.bytes.data(), std::min<std::size_t>(item.offset, item.bytes.size()));
        });
}

}  // namespace

void HostSession::DropRefusedData() {
    refusedSince_.reset();
    bool textFile = false;
    bool binaryFile = false;
    bool changeover = false;
    WithQueues([&](HostQueues& queues) {
        for (const OutboundItem& item : queues.outboundQueue) {
            textFile = textFile || item.kind == OutboundKind::TextFile;
            binaryFile = binaryFile || item.kind == OutboundKind::BinaryFile;
            changeover = changeover || item.kind == OutboundKind::ChangeoverText;
        }
        const bool closeRecord = EndsInsideRecord(queues);
        queues.outboundQueue.clear();
        if (closeRecord && arqConnected) {
            queues.outboundQueue.push_back(
                OutboundItem{Bytes{0x00}, 0, OutboundKind::TransferControl});
        }
    });
    if (changeover) {
        changeoverPending = false;
    }
    Post(UiEvent::Output(HostOutputKind::ReceivedText, ToBytes(kRefusedDataDropped)));
    // The send's own item went with the rest; the window ends the send on this.
    if ((textFile || binaryFile) && fileSendActive) {
        SetFileResult(std::string(binaryFile ? kBinarySendRefused : kTextSendRefused), true);
        Post(UiEvent::Plain(UiEventKind::FileSendFinishedEvent, binaryFile ? 2 : 1));
    }
}

void HostSession::CancelStep() {
    if (hooks_ == nullptr) {
        return;
    }
    const std::uint64_t transferId = hooks_->ActiveOutgoingTransferId();
    if (transferId == 0 || !binarySendActive) {
        return;
    }
    cvfile::TransferRecord cancel;
    cancel.type = cvfile::RecordType::Cancel;
    cancel.transferId = transferId;
    Bytes record;
    try {
        record = cvfile::EncodeRecord(cancel);
    } catch (const std::exception&) {
        return;
    }
    WithQueues([&](HostQueues& queues) {
        const bool closeRecord = EndsInsideRecord(queues);
        std::erase_if(queues.outboundQueue, [](const OutboundItem& item) {
            return item.kind == OutboundKind::BinaryFile;
        });
        if (arqConnected) {
            if (closeRecord) {
                record.insert(record.begin(), 0x00);
            }
            queues.outboundQueue.push_back(
                OutboundItem{std::move(record), 0, OutboundKind::TransferControl});
        }
    });
}

void HostSession::RunShutdownSequence() {
    std::string error;  // nothing of the sequence is reported
    cvhost::Frame answer;
    cvhost::CommandScript script;
    if (!shutdownScriptName_.empty() &&
        ReadOptionalCommandScript(scriptFolder_, shutdownScriptName_, script, error)) {
        for (const Bytes& command : script.hostmodeCommands) {
            if (!HostTransact(linkChannel_, true, command, answer, error, true, kAttempts)) {
                break;
            }
        }
    }
    if (!HostTransact(linkChannel_, true, ToBytes("JHOST0"), answer, error, true,
                      kLeaveHostmodeAttempts)) {
        return;
    }
    PauseUnlessStopped(kTerminalPause);
    if (!DrainTerminalInput(error, nullptr)) {
        return;
    }
    for (const Bytes& command : script.terminalCommands) {
        if (!RunTerminalCommand(command, error)) {
            return;
        }
    }
}

void HostSession::WaitForWork(Clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(queueMutex_);
    queueChanged_.wait_until(lock, deadline, [this] {
        return stopRequested || endBroadcastRequested || binaryCancelRequested ||
               !queues_.commandQueue.empty();
    });
}

}  // namespace corvina
