#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "session/outbound_item.h"
#include "session/ui_event.h"

namespace corvina {

// The session flags the transfers read and write. They belong to the session;
// the references stay valid as long as the port that handed them out.
struct TransferFlags {
    std::atomic<bool>& transferAbortRequested;  // file senders must stop
    std::atomic<bool>& fileSendActive;
    std::atomic<bool>& binarySendActive;
    std::atomic<bool>& binaryAbortRequested;
    std::atomic<bool>& binaryCancelRequested;
    std::atomic<bool>& incomingTransferActive;
    std::atomic<bool>& arqConnected;
    std::atomic<bool>& linkCanSend;
};

// What the transfers need from a running session: its flags, its queues and
// the window's event sink. SessionTransferPort is the real one; tests use
// their own. Every member may be called from any thread and takes at most the
// session's own lock for the call; none calls back into the transfers except
// QueueVerdict's `noteQueued`.
class TransferPort {
  public:
    virtual ~TransferPort() = default;

    virtual TransferFlags Flags() = 0;

    // True while a hostmode session runs on a transport.
    virtual bool SessionRunning() = 0;

    // Posts an event to the window.
    virtual void Post(UiEvent event) = 0;

    // Sets the progress counters of a file send, under the queue lock.
    virtual void SetSendCounters(std::uint64_t totalBytes, std::uint64_t sentBytes) = 0;

    // Appends channel data when the link carries that kind (see
    // HostSession::QueueData) and wakes the worker; false, dropping the bytes,
    // when it does not.
    virtual bool QueueData(std::vector<std::uint8_t> bytes, OutboundKind kind) = 0;

    // Appends a modem command and wakes the worker.
    virtual void QueueCommand(std::vector<std::uint8_t> command) = 0;

    // In one step under the queue lock: when an ARQ link is up, calls
    // `noteQueued`, appends the changeover command "%O" to the command queue
    // and `record` as a TransferControl item, then wakes the worker and
    // returns true. Without an ARQ link returns false and queues nothing.
    // `noteQueued` runs under the lock: it may only touch atomics.
    virtual bool QueueVerdict(std::vector<std::uint8_t> record,
                              const std::function<void()>& noteQueued) = 0;

    // Asks the host worker for the binary cancel step and wakes it.
    virtual void RequestBinaryCancel() = 0;

    // Stores the outcome of the last file send (UTF-8; empty when the sender
    // handed its data over).
    virtual void SetFileResult(std::string text, bool isError) = 0;
};

}  // namespace corvina
