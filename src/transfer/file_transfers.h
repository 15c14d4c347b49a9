#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "session/transfer_hooks.h"
#include "transfer/incoming_file.h"
#include "transfer/incoming_transfer.h"
#include "transfer/outgoing_transfer.h"
#include "transfer/transfer_port.h"

namespace corvina {

// Status texts of the window-side steps.
inline constexpr std::string_view kBinarySizeUnreadable = "Could not read binary file size";
inline constexpr std::string_view kBinaryNameTooLong = "Binary file name is too long";
inline constexpr std::string_view kPreparingBinary = "Preparing binary file...";
inline constexpr std::string_view kTextSizeUnreadable = "Could not read text file size";
inline constexpr std::string_view kSendingTextStart = "Sending text file: 0%";
inline constexpr std::string_view kAbortingBinary = "Aborting binary file transfer...";

// The name a send announces: the part of `path` after its last '\' or '/'
// (the whole path when it has neither), as UTF-8.
std::string SendFileName(const std::filesystem::path& path);

// The three file transfers of one session: binary send with verdict, binary
// receive into `receiveFolder`, text file send. It owns the one
// file sender thread and is the session's TransferHooks.
//
// Threads: the Start/Abort/End members and JoinFileSender are for the window
// thread (the owner); the record hooks run on the host worker. `port` must be
// usable whenever a member runs and must outlive this object; the session
// that holds this object as its hooks must be destroyed (or disconnected)
// before it. The destructor joins the sender thread.
class FileTransfers final : public TransferHooks {
  public:
    FileTransfers(TransferPort& port, std::filesystem::path receiveFolder,
                  IncomingFileSystem& fileSystem = SystemIncomingFileSystem());
    ~FileTransfers() override;

    FileTransfers(const FileTransfers&) = delete;
    FileTransfers& operator=(const FileTransfers&) = delete;

    enum class StartOutcome {
        NotAllowed,  // a precondition does not hold: nothing happened
        Refused,     // `status` holds an error for the status line; nothing started
        Started,     // the sender runs; show `marker` and `status` (not an error)
    };
    struct StartResult {
        StartOutcome outcome = StartOutcome::NotAllowed;
        std::string status;  // UTF-8
        std::string marker;  // UTF-8 control marker for the transmit pane
    };

    // Starts sending the file at `path` as CVFT records. Requires a running
    // session with an ARQ link, no file send and no incoming transfer; the
    // window checks its own ARQ flag before calling.
    StartResult StartBinaryFileSend(const std::filesystem::path& path);

    // Starts sending the file at `path` as plain channel data. Requires a
    // running session whose link can send, no file send and no incoming
    // transfer; the window checks its own ARQ/FEC and broadcast-ending flags
    // before calling.
    StartResult StartTextFileSend(const std::filesystem::path& path);

    // The operator's abort of a binary send. True (show kAbortingBinary, not
    // an error) when it started the abort: senders told to stop and, when the
    // sender has already ended, the worker asked for the cancel step. It never
    // waits for a sender still reading or encoding: that sender ends soon after
    // and posts FileSendFinishedEvent (wParam 2), on which the window calls
    // FinishBinaryAbort. False when no binary send runs or an abort is
    // already under way.
    bool AbortBinaryFileSend();

    // Completes an abort once the sender has ended: joins it and asks the
    // worker for the cancel step, once per send. Does nothing without an abort.
    void FinishBinaryAbort();

    // Ends the current file send for good, after its verdict or its failure
    // was shown: joins the sender, clears the send flags and forgets the
    // outgoing transfer.
    void EndFileSend();

    // TransferHooks.
    void OnStartRecord(const cvfile::TransferRecord& record) override;
    void OnDataRecord(const cvfile::TransferRecord& record) override;
    void OnEndRecord(const cvfile::TransferRecord& record) override;
    void OnResultRecord(const cvfile::TransferRecord& record) override;
    void OnCancelRecord(const cvfile::TransferRecord& record) override;
    void OnDelayedRecord(const cvfile::TransferRecord& record) override;
    std::uint64_t ActiveOutgoingTransferId() override;
    void JoinFileSender() override;
    void AbandonIncomingTransfer() override;
    void ResetOutgoingTransfer() override;

    IncomingTransfer& incoming() { return incoming_; }
    OutgoingTransfer& outgoing() { return outgoing_; }

  private:
    bool MayStart(bool needArq);

    TransferPort& port_;
    IncomingTransfer incoming_;
    OutgoingTransfer outgoing_;
    std::mutex senderMutex_;  // guards the thread object only, never held while joining
    std::thread fileSenderThread_;
    std::atomic<bool> binarySenderRunning_{false};  // until the binary sender's last step
    std::atomic<bool> cancelIssued_{false};         // the cancel step of this send was asked for
};

}  // namespace corvina
