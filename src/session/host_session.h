#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "cvfile/stream_parser.h"
#include "cvhost/link_status.h"
#include "cvhost/response_parser.h"
#include "link/transport.h"
#include "session/outbound_item.h"
#include "session/session_settings.h"
#include "session/transfer_hooks.h"
#include "session/ui_event.h"

namespace corvina {

// The link-state values of HostSession::linkState.
enum LinkStateValue : std::uint8_t {
    kLinkNone = 0,
    kLinkArq = 1,  // an ARQ call or link
    kLinkFec = 2,  // an FEC broadcast (unproto)
};

// The host session: one hostmode conversation with the modem over one opened
// transport. It leads the modem from its terminal prompt into CRC hostmode,
// then runs the host worker thread, which is from then on the only user of the
// transport, and ends the session (orderly or not) in Disconnect.
//
// Threads: Start, Disconnect and the operator-action members are called on the
// window thread (the owner). The host worker runs inside. File sender threads
// use the queue, file-result and flag members. Every member documents which
// thread may call it. The session reports only through the EventSink, which
// must outlive it, as must the TransferHooks when given. The destructor ends a
// running session without the orderly shutdown sequence and joins the worker.
//
// Locks: queueMutex (both queues and the send counters), callMutex (own and
// peer call signs), fileResultMutex (the file-send result). No member holds two
// of them at once, none is held during a modem transaction, and none is held
// while calling into TransferHooks.
class HostSession {
  public:
    // `scriptFolder` is where "shutdown.txt" is looked for at an orderly end
    // (the executable's folder in the program). `hooks` may be null: transfer
    // records are then dropped.
    HostSession(EventSink& sink, std::filesystem::path scriptFolder, TransferHooks* hooks = nullptr,
                TerminalDialogueLimits limits = {});
    ~HostSession();

    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // ---- Session start and end (window thread) ------------------------------

    // Takes over an opened transport, brings the modem from its terminal prompt
    // into CRC hostmode (the script's terminal commands, "STATUS 2", "KTMC 0",
    // "JHOST5"), resets the session state and starts the host worker. Blocks
    // for the whole terminal dialogue. On failure the non-orderly Disconnect
    // has already run (transport closed and destroyed) and `error` holds the
    // text for the status line. A running session is ended first.
    bool Start(std::unique_ptr<ITransport> opened, const SessionSettings& settings,
               std::string& error);

    // Takes over `transport` and returns at once; the host worker thread then
    // opens it (with `openFirst`), leads the terminal dialogue and carries on as
    // after Start. Success is reported by HostmodeActiveEvent, failure by
    // HostErrorEvent with the reason (EndedByLinkFailure tells which kind).
    // Disconnect(false) cancels the attempt at once: the dialogue stops at its
    // next read or write, nothing is sent after that, and no event follows.
    void StartInBackground(std::unique_ptr<ITransport> transport, bool openFirst,
                           const SessionSettings& settings);

    // After a HostErrorEvent with `errorText`, before Disconnect: true when the
    // session ended because the link failed (open, read or write failure) or the
    // modem stopped answering, not because of something the modem said.
    bool EndedByLinkFailure(const std::string& errorText) const;

    // Stops the file sender (through the hooks) and the host worker, joins them,
    // closes and destroys the transport and clears every piece of session state
    // this object holds. With `orderly` the worker first sends the hostmode
    // commands of "shutdown.txt", "JHOST0" and the script's terminal commands.
    // Returns false, doing nothing, when there was no session. The window then
    // clears its own flags and status display.
    bool Disconnect(bool orderly);

    // Reads the orderly end's commands from `file` instead of "shutdown.txt"
    // in the script folder (a headless front end names its own); an empty
    // path means no commands besides "JHOST0". Window thread, while no worker
    // runs.
    void SetShutdownScript(const std::filesystem::path& file);

    // True from a successful Start until Disconnect.
    bool sessionActive() const { return sessionActive_.load(); }
    // True while a transport is installed (window thread).
    bool HasTransport() const { return transport_ != nullptr; }
    bool isTelnetLink() const { return isTelnetLink_; }
    std::uint8_t linkChannel() const { return linkChannel_; }

    // ---- Operator actions, worker-side steps (window thread) ----------------

    enum class SubmitOutcome {
        Ignored,  // no session, or nothing left after trailing CR/LF
        TooLong,  // over 256 bytes; status "Hostmode commands are limited to 256 bytes."
        Queued,   // queued; the window empties the command line
    };
    struct SubmitResult {
        SubmitOutcome outcome = SubmitOutcome::Ignored;
        // The command calls a station: linkState is 1 and connectedPeer noted;
        // the window sets callPending and refreshes its controls.
        bool connectRequested = false;
    };
    static constexpr std::string_view kCommandTooLongText =
        "Hostmode commands are limited to 256 bytes.";

    // The command line after the window converted it to modem bytes: trailing
    // CR and LF removed, length checked, an outgoing connect noted, queued.
    SubmitResult SubmitCommand(std::vector<std::uint8_t> bytes);

    // Appends a modem command for the worker (never refuses). Any thread.
    void QueueCommand(std::vector<std::uint8_t> command);

    // Appends channel data when the link carries that kind (linkCanSend for
    // TransmitText and TextFile, arqConnected for the others); false, dropping
    // the bytes, otherwise. Any thread.
    bool QueueData(std::vector<std::uint8_t> bytes, OutboundKind kind);

    // Notes an ARQ call about to be queued: linkState 1 and, when the call sign
    // is valid, connectedPeer set to its normalised form.
    void NoteOutgoingCall(const std::string& call);

    // Ends an FEC broadcast: linkCanSend cleared, a running text file send
    // stopped (StopTextFileSend), endBroadcastRequested set, worker woken. The
    // worker then discards queued data and sends "D" before older commands.
    void RequestEndBroadcast();

    // Stops a running text file send (fileSendActive set, binarySendActive
    // clear): transferAbortRequested set, sender joined, fileSendActive cleared,
    // an empty non-error file result stored. False when no text send ran.
    bool StopTextFileSend();

    enum class ChangeoverOutcome {
        AlreadyPending,  // a changeover is already under way: do nothing
        PromptQueued,    // `prompt` was queued as ChangeoverText; "%O" follows it
        NotQueued,       // no prompt possible; the window does the plain "%O"
    };
    struct ChangeoverRequest {
        ChangeoverOutcome outcome = ChangeoverOutcome::NotQueued;
        std::vector<std::uint8_t> prompt;
    };
    // The changeover with a prompt: sets changeoverPending, builds the prompt
    // from connectedPeer and ownCall and queues it; on failure clears
    // changeoverPending again.
    ChangeoverRequest QueueChangeoverPrompt();

    // The operator's "Disconnect ARQ": drops the queued link data, so that the
    // modem is not kept sending it, and queues "D".
    void RequestArqDisconnect();

    // The session part of cleaning up after an ARQ link ended: changeoverPending
    // and connectedPeer cleared, file sender stopped and joined, outbound queue
    // emptied, transfer flags cleared, incoming and outgoing transfers
    // abandoned through the hooks. A running file send that has not reported
    // a failure of its own ends as failed with "Text file transfer ended: ARQ
    // disconnected" or "Binary file transfer ended: ARQ disconnected" and
    // FileSendFinishedEvent (wParam 1 or 2).
    void CleanUpArqLink();

    // Asks the worker for the binary cancel step.
    void RequestBinaryCancel();

    // ---- Shared with the file senders and the transfer module ---------------

    // Runs `f(HostQueues&)` under queueMutex and returns its result. `f` must
    // not block or take another session lock. Wake the worker afterwards with
    // WakeWorker when something was queued. Any thread.
    template <typename F>
    decltype(auto) WithQueues(F&& f) {
        std::lock_guard<std::mutex> lock(queueMutex_);
        return std::forward<F>(f)(queues_);
    }

    // Signals queueChanged to the worker (one waiter) / to all waiters.
    void WakeWorker();
    void WakeAll();

    // The call signs, under callMutex. Any thread.
    std::string OwnCall() const;
    std::string ConnectedPeer() const;
    void SetConnectedPeer(std::string call);

    // The outcome of the last file send (UTF-8), under fileResultMutex.
    void SetFileResult(std::string text, bool isError);
    std::pair<std::string, bool> FileResult() const;

    // Posts an event to the window through the session's sink, stamped with
    // the generation. Any thread.
    void Post(UiEvent event);

    // Counts the sessions ended so far: every event a session posts carries
    // the value of its time, and Disconnect moves on once its threads are
    // joined, so an older value marks an event of a session that has ended.
    std::uint64_t generation() const { return generation_.load(); }

    // ---- Flags shared with the worker threads ------------------------------
    // Single-byte atomics; requests are consumed with an atomic exchange.
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> orderlyShutdown{false};
    std::atomic<bool> transferAbortRequested{false};  // file senders must stop
    std::atomic<bool> fileSendActive{false};          // a text or binary send runs
    std::atomic<bool> binarySendActive{false};
    std::atomic<bool> binaryAbortRequested{false};
    std::atomic<bool> binaryCancelRequested{false};  // worker sends a cancel record
    std::atomic<bool> incomingTransferActive{false};
    std::atomic<bool> arqConnected{false};  // last status poll: ARQ link
    std::atomic<bool> linkCanSend{false};   // last status poll: ARQ or FEC
    std::atomic<bool> endBroadcastRequested{false};
    std::atomic<std::uint8_t> linkState{kLinkNone};
    std::atomic<bool> changeoverPending{false};

  private:
    using Bytes = std::vector<std::uint8_t>;
    using Clock = std::chrono::steady_clock;

    void PrepareStart(std::unique_ptr<ITransport> transport, const SessionSettings& settings);
    void BeginHostmode();

    // Terminal dialogue (the starting thread; the worker thread at the end).
    bool ConfigureCrcHostmode(const std::vector<Bytes>& terminalCommands, std::string& error);
    bool EnterHostmode(const std::vector<Bytes>& terminalCommands, std::string& error);
    bool StartCancelled(std::string& error) const;
    bool DrainTerminalInput(std::string& error, Bytes* capture);
    bool OpenTerminalCommandInterpreter(std::string& error);
    bool RunTerminalCommand(const Bytes& command, std::string& error);
    void PostStartupCommand(std::string_view label, const Bytes& command);
    bool WriteTerminal(std::string_view bytes, std::string& error);
    void PauseUnlessStopped(std::chrono::milliseconds pause);

    // Host worker thread.
    void HostWorker();
    bool WorkerStartUp(std::string& error);
    bool WorkerLoop(std::string& error);
    // Sends up to one budget of queued data. `refused` is set when the modem
    // refused a frame; the data then waits (kRefusedDataPause).
    bool DataStep(std::string& error, bool& refused);
    bool QueryLinkStatus(cvhost::LinkStatus& status, std::string& error);
    bool DrainStep(std::string& error);
    bool HandleRefusedData(const cvhost::Frame& answer, std::string& error);
    void DropRefusedData();
    void CancelStep();
    void RunShutdownSequence();
    void WaitForWork(Clock::time_point deadline);

    // Gives up after `attempts` attempts that the modem left silent, or
    // kMaxAttemptsInAll attempts in all (`attempts` when that is 1).
    bool HostTransact(std::uint8_t channel, bool command, const Bytes& payload,
                      cvhost::Frame& answer, std::string& error, bool force,
                      std::uint32_t attempts);
    enum class AttemptResult { Answered, Heard, Silent, TransportFailed };
    AttemptResult AwaitAnswer(std::uint8_t channel, cvhost::Frame& answer, std::string& error);
    bool HostCommand(std::uint8_t channel, std::string_view text, cvhost::Frame& answer,
                     std::string& error);
    bool DiscardStaleInput(std::string& error);
    bool PollStatus(std::string& error);
    bool PollExtended(std::string& error);
    void PostHostError(const std::string& error);

    void DispatchHostResponse(const cvhost::Frame& frame);
    void DispatchSirvexPayload(const Bytes& payload, bool echo);
    void ResetStreamParsers();
    void JoinStreamParsersMidStream();
    void JoinFileSender();

    EventSink& sink_;
    std::filesystem::path scriptFolder_;
    std::string shutdownScriptName_ = "shutdown.txt";
    TransferHooks* hooks_;
    TerminalDialogueLimits limits_;

    // Window thread while no worker runs; the worker's alone while it runs.
    std::unique_ptr<ITransport> transport_;
    std::uint8_t linkChannel_ = 4;
    bool isTelnetLink_ = false;
    Bytes startupMycall_;
    std::vector<Bytes> hostStartupCommands_;
    std::vector<Bytes> terminalCommands_;
    Clock::time_point dialogueDeadline_{};
    std::atomic<bool> linkFailed_{false};
    bool sequenceBit_ = false;
    bool sequenceStart_ = true;
    bool staleAnswerPossible_ = false;  // an attempt went unanswered
    std::chrono::milliseconds refusedDataLimit_{0};
    std::optional<Clock::time_point> refusedSince_;  // the modem refuses data since
    // A text file has been handed to the modem whole and the send ends when
    // the modem has sent it; cleared by whatever ends the send first.
    std::atomic<bool> textFileDraining_{false};
    cvhost::ResponseParser parser_;
    cvfile::StreamParser receiveParser_;
    cvfile::StreamParser echoParser_;
    std::thread hostThread_;
    std::atomic<bool> sessionActive_{false};
    std::atomic<std::uint64_t> generation_{0};

    std::mutex queueMutex_;
    std::condition_variable queueChanged_;
    HostQueues queues_;
    std::uint64_t nextItemTag_ = 0;

    mutable std::mutex callMutex_;
    std::string ownCall_;
    std::string connectedPeer_;

    mutable std::mutex fileResultMutex_;
    std::string fileResultText_;
    bool fileResultIsError_ = false;
};

}  // namespace corvina
