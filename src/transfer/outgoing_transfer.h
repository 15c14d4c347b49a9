#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "cvfile/transfer_record.h"
#include "transfer/transfer_port.h"

namespace corvina {

// The binary file being sent. Guarded by OutgoingTransfer's mutex.
struct OutgoingTransferState {
    std::uint64_t outgoingId = 0;
    std::uint64_t outgoingSize = 0;            // file size in bytes
    std::uint64_t outgoingConfirmedBytes = 0;  // end of the furthest echoed plain chunk
    std::uint32_t outgoingChunkCount = 0;
    std::uint32_t outgoingLastSequence = 0;  // highest chunk number echoed
    std::uint32_t outgoingCrc = 0;
    std::string outgoingName;  // UTF-8
};

// This station's outgoing binary transfer: what the sender thread set up, the
// echo-driven progress and the peer's verdict. Every member takes the one
// mutex briefly and never holds it while calling the port. `port` must
// outlive this object.
class OutgoingTransfer {
  public:
    explicit OutgoingTransfer(TransferPort& port) : port_(port) {}

    // A send is about to start (window thread): counters cleared, the size
    // from the file's attributes, the identifier and the name set.
    void Prepare(std::uint64_t transferId, std::uint64_t size, std::string name);

    // The sender thread built the records (sender thread).
    void Built(std::uint64_t size, std::uint32_t chunkCount, std::uint32_t crc);

    // Identifier 0, counters 0, name empty. Any thread.
    void Reset();

    // The identifier of the send; 0 when there is none. Any thread.
    std::uint64_t ActiveId();

    // A Result record from the peer (host worker thread). When it is well
    // formed and answers the active binary send, posts a SendFinished
    // BinaryTransferEvent; a CrcOk whose size or CRC differs from this file's
    // is reported as ProtocolError. Anything else is dropped.
    void HandleVerdict(const cvfile::TransferRecord& record);

    // The modem's echo of a Data record this station sent (host worker
    // thread). A chunk of the active send beyond the last one echoed posts a
    // progress event and an echo line "[Binary record k/n sent]\r\n";
    // anything else changes nothing.
    void HandleEcho(const cvfile::TransferRecord& record);

    OutgoingTransferState Snapshot();

  private:
    TransferPort& port_;
    std::mutex outgoingMutex_;
    OutgoingTransferState state_;
};

}  // namespace corvina
