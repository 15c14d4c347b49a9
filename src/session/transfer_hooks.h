#pragma once

#include <cstdint>

#include "cvfile/transfer_record.h"

namespace corvina {

// The binary-transfer side of a session, implemented by the transfer module.
// The session routes decoded records here and asks it to clean up; it never
// sees the transfer state itself. The implementation must outlive the
// HostSession it is given to.
class TransferHooks {
  public:
    virtual ~TransferHooks() = default;

    // Records from the data received from the peer, by type. Host worker thread
    // only; each call may take the transfer's own locks but never queueMutex
    // together with them.
    virtual void OnStartRecord(const cvfile::TransferRecord& record) = 0;
    virtual void OnDataRecord(const cvfile::TransferRecord& record) = 0;
    virtual void OnEndRecord(const cvfile::TransferRecord& record) = 0;
    virtual void OnResultRecord(const cvfile::TransferRecord& record) = 0;
    virtual void OnCancelRecord(const cvfile::TransferRecord& record) = 0;

    // A record from the modem's delayed echo of what this station sent,
    // whatever its type. Host worker thread only.
    virtual void OnDelayedRecord(const cvfile::TransferRecord& record) = 0;

    // The identifier of the outgoing binary transfer, read under its lock; 0
    // when there is none. Host worker thread (the cancel step).
    virtual std::uint64_t ActiveOutgoingTransferId() = 0;

    // Joins the file sender thread if it is joinable and is not the calling
    // thread. Window thread; called with no session lock held.
    virtual void JoinFileSender() = 0;

    // Closes and deletes a partly received file, resets the incoming transfer
    // and forgets a verdict that waits for its echo. Window thread, or any
    // thread while the host worker is not running.
    virtual void AbandonIncomingTransfer() = 0;

    // Resets the outgoing transfer (identifier 0, counters 0, names empty).
    // Window thread, or any thread while the host worker is not running.
    virtual void ResetOutgoingTransfer() = 0;
};

}  // namespace corvina
