#include "session/host_session.h"

#include <algorithm>

#include "cvhost/sirvex_commands.h"
#include "cvrk/call_sign.h"
#include "cvrk/connect_text.h"
#include "session/session_constants.h"
#include "session/watched_transport.h"

namespace corvina {

using namespace session_constants;

namespace {

constexpr std::string_view kArqEndedDuringTextSend = "Text file transfer ended: ARQ disconnected";
constexpr std::string_view kArqEndedDuringBinarySend =
    "Binary file transfer ended: ARQ disconnected";

const std::vector<std::uint8_t> kDisconnectCommand = {'D'};

}  // namespace

HostSession::HostSession(EventSink& sink, std::filesystem::path scriptFolder, TransferHooks* hooks,
                         TerminalDialogueLimits limits)
    : sink_(sink), scriptFolder_(std::move(scriptFolder)), hooks_(hooks), limits_(limits) {}

HostSession::~HostSession() {
    Disconnect(false);
}

void HostSession::SetShutdownScript(const std::filesystem::path& file) {
    scriptFolder_ = file.parent_path();
    shutdownScriptName_ = file.filename().string();
}

void HostSession::PrepareStart(std::unique_ptr<ITransport> transport,
                               const SessionSettings& settings) {
    Disconnect(false);
    stopRequested = false;
    orderlyShutdown = false;
    linkFailed_ = false;
    if (transport) {
        transport_ = std::make_unique<WatchedTransport>(std::move(transport), linkFailed_);
    }
    linkChannel_ = settings.linkChannel;
    isTelnetLink_ = settings.isTelnetLink;
    refusedDataLimit_ = settings.refusedDataLimit;

    startupMycall_.clear();
    for (const Bytes& command : settings.terminalCommands) {
        Bytes call;
        if (cvhost::ExtractTerminalSirvexMycall(command, call)) {
            startupMycall_ = std::move(call);
        }
    }
    hostStartupCommands_ = settings.hostmodeCommands;
    terminalCommands_ = settings.terminalCommands;
}

void HostSession::BeginHostmode() {
    PauseUnlessStopped(kHostmodeSettle);
    parser_.Reset();
    sessionActive_ = true;
    sequenceBit_ = false;
    sequenceStart_ = true;
    staleAnswerPossible_ = false;
    refusedSince_.reset();
    arqConnected = false;
    linkCanSend = false;
    linkState = kLinkNone;
    endBroadcastRequested = false;
    changeoverPending = false;
    binaryCancelRequested = false;
    // A link may have outlived the last session, which may have left a record
    // half read: its tail is the first thing the modem hands over.
    JoinStreamParsersMidStream();
}

bool HostSession::Start(std::unique_ptr<ITransport> opened, const SessionSettings& settings,
                        std::string& error) {
    PrepareStart(std::move(opened), settings);
    if (!transport_ || !ConfigureCrcHostmode(terminalCommands_, error)) {
        Disconnect(false);
        return false;
    }
    BeginHostmode();
    hostThread_ = std::thread(&HostSession::HostWorker, this);
    return true;
}

void HostSession::StartInBackground(std::unique_ptr<ITransport> transport, bool openFirst,
                                    const SessionSettings& settings) {
    PrepareStart(std::move(transport), settings);
    hostThread_ = std::thread([this, openFirst] {
        std::string error;
        if (!transport_ || (openFirst && !transport_->Open(error)) ||
            !ConfigureCrcHostmode(terminalCommands_, error)) {
            PostHostError(error);
            return;
        }
        BeginHostmode();
        HostWorker();
    });
}

bool HostSession::EndedByLinkFailure(const std::string& errorText) const {
    return linkFailed_ || errorText == kTransactionTimedOut;
}

bool HostSession::Disconnect(bool orderly) {
    if (!sessionActive_ && !transport_ && !hostThread_.joinable()) {
        return false;
    }
    transferAbortRequested = true;
    // An attempt that has not reached hostmode has nothing to shut down in
    // order; it is cancelled at once.
    orderlyShutdown = orderly && sessionActive_;
    stopRequested = true;
    WakeAll();
    // A network link may still be connecting; that wait must not hold up the
    // window, which is waiting here.
    if (transport_) {
        transport_->Interrupt();
    }

    JoinFileSender();
    if (hostThread_.joinable() && hostThread_.get_id() != std::this_thread::get_id()) {
        hostThread_.join();
    }
    ++generation_;

    if (transport_) {
        transport_->Close();
        transport_.reset();
    }
    isTelnetLink_ = false;

    WithQueues([](HostQueues& queues) {
        queues.commandQueue.clear();
        queues.outboundQueue.clear();
    });

    binaryCancelRequested = false;
    binaryAbortRequested = false;
    binarySendActive = false;
    fileSendActive = false;
    textFileDraining_ = false;
    transferAbortRequested = false;
    if (hooks_ != nullptr) {
        hooks_->AbandonIncomingTransfer();
    }
    incomingTransferActive = false;
    ResetStreamParsers();
    if (hooks_ != nullptr) {
        hooks_->ResetOutgoingTransfer();
    }

    sessionActive_ = false;
    linkState = kLinkNone;
    endBroadcastRequested = false;
    changeoverPending = false;
    {
        std::lock_guard<std::mutex> lock(callMutex_);
        ownCall_.clear();
        connectedPeer_.clear();
    }
    arqConnected = false;
    linkCanSend = false;
    return true;
}

HostSession::SubmitResult HostSession::SubmitCommand(std::vector<std::uint8_t> bytes) {
    SubmitResult result;
    if (!sessionActive_ || !transport_) {
        return result;
    }
    while (!bytes.empty() && (bytes.back() == kCr || bytes.back() == kLf)) {
        bytes.pop_back();
    }
    if (bytes.empty()) {
        return result;
    }
    if (bytes.size() > kMaxCommandSize) {
        result.outcome = SubmitOutcome::TooLong;
        return result;
    }
    const std::string target = cvrk::ExtractConnectTarget(bytes);
    if (!target.empty()) {
        NoteOutgoingCall(target);
        result.connectRequested = true;
    }
    QueueCommand(std::move(bytes));
    result.outcome = SubmitOutcome::Queued;
    return result;
}

void HostSession::QueueCommand(std::vector<std::uint8_t> command) {
    WithQueues([&](HostQueues& queues) { queues.commandQueue.push_back(std::move(command)); });
    queueChanged_.notify_one();
}

bool HostSession::QueueData(std::vector<std::uint8_t> bytes, OutboundKind kind) {
    const bool accepted = WithQueues([&](HostQueues& queues) {
        const bool needsArq = kind != OutboundKind::TransmitText && kind != OutboundKind::TextFile;
        if (!(needsArq ? arqConnected.load() : linkCanSend.load())) {
            return false;
        }
        queues.outboundQueue.push_back(OutboundItem{std::move(bytes), 0, kind});
        return true;
    });
    if (accepted) {
        queueChanged_.notify_one();
    }
    return accepted;
}

void HostSession::NoteOutgoingCall(const std::string& call) {
    linkState = kLinkArq;
    std::string normalized = call;
    if (cvrk::NormalizeCall(normalized)) {
        SetConnectedPeer(std::move(normalized));
    }
}

void HostSession::RequestEndBroadcast() {
    linkCanSend = false;
    StopTextFileSend();
    endBroadcastRequested = true;
    WakeWorker();
}

bool HostSession::StopTextFileSend() {
    if (!fileSendActive || binarySendActive) {
        return false;
    }
    transferAbortRequested = true;
    JoinFileSender();
    textFileDraining_ = false;
    fileSendActive = false;
    SetFileResult(std::string(), false);
    return true;
}

HostSession::ChangeoverRequest HostSession::QueueChangeoverPrompt() {
    ChangeoverRequest request;
    if (changeoverPending.exchange(true)) {
        request.outcome = ChangeoverOutcome::AlreadyPending;
        return request;
    }
    std::vector<std::uint8_t> prompt;
    {
        std::lock_guard<std::mutex> lock(callMutex_);
        prompt = cvrk::BuildChangeoverPrompt(connectedPeer_, ownCall_);
    }
    if (!prompt.empty() && QueueData(prompt, OutboundKind::ChangeoverText)) {
        request.outcome = ChangeoverOutcome::PromptQueued;
        request.prompt = std::move(prompt);
        return request;
    }
    changeoverPending = false;
    request.outcome = ChangeoverOutcome::NotQueued;
    return request;
}

void HostSession::RequestArqDisconnect() {
    WithQueues([](HostQueues& queues) {
        queues.outboundQueue.clear();
        queues.commandQueue.push_back(kDisconnectCommand);
    });
    queueChanged_.notify_one();
}

void HostSession::CleanUpArqLink() {
    changeoverPending = false;
    SetConnectedPeer(std::string());
    transferAbortRequested = true;
    JoinFileSender();
    WithQueues([&](HostQueues& queues) {
        queues.outboundQueue.clear();
        changeoverPending = false;
    });
    WakeAll();
    // A sender that failed on its own (told to stop while reading, say) has
    // already stored its message and reported the end.
    const bool binary = binarySendActive.exchange(false);
    textFileDraining_ = false;
    if (fileSendActive.exchange(false) && !FileResult().second) {
        SetFileResult(std::string(binary ? kArqEndedDuringBinarySend : kArqEndedDuringTextSend),
                      true);
        Post(UiEvent::Plain(UiEventKind::FileSendFinishedEvent, binary ? 2 : 1));
    }
    binaryAbortRequested = false;
    binaryCancelRequested = false;
    if (hooks_ != nullptr) {
        hooks_->AbandonIncomingTransfer();
    }
    incomingTransferActive = false;
    if (hooks_ != nullptr) {
        hooks_->ResetOutgoingTransfer();
    }
}

void HostSession::RequestBinaryCancel() {
    binaryCancelRequested = true;
    WakeWorker();
}

// The flags the worker waits on are set outside queueMutex; taking the lock
// once before signalling closes the gap between its predicate check and its
// wait, so a request is never left to the end of the wait's deadline.
void HostSession::WakeWorker() {
    { std::lock_guard<std::mutex> lock(queueMutex_); }
    queueChanged_.notify_one();
}

void HostSession::WakeAll() {
    { std::lock_guard<std::mutex> lock(queueMutex_); }
    queueChanged_.notify_all();
}

std::string HostSession::OwnCall() const {
    std::lock_guard<std::mutex> lock(callMutex_);
    return ownCall_;
}

std::string HostSession::ConnectedPeer() const {
    std::lock_guard<std::mutex> lock(callMutex_);
    return connectedPeer_;
}

void HostSession::SetConnectedPeer(std::string call) {
    std::lock_guard<std::mutex> lock(callMutex_);
    connectedPeer_ = std::move(call);
}

void HostSession::SetFileResult(std::string text, bool isError) {
    std::lock_guard<std::mutex> lock(fileResultMutex_);
    fileResultText_ = std::move(text);
    fileResultIsError_ = isError;
}

std::pair<std::string, bool> HostSession::FileResult() const {
    std::lock_guard<std::mutex> lock(fileResultMutex_);
    return {fileResultText_, fileResultIsError_};
}

void HostSession::Post(UiEvent event) {
    event.session = generation_.load();
    sink_.Post(std::move(event));
}

void HostSession::ResetStreamParsers() {
    receiveParser_.Reset();
    echoParser_.Reset();
}

void HostSession::JoinStreamParsersMidStream() {
    receiveParser_.JoinMidStream();
    echoParser_.JoinMidStream();
}

void HostSession::JoinFileSender() {
    if (hooks_ != nullptr) {
        hooks_->JoinFileSender();
    }
}

}  // namespace corvina
