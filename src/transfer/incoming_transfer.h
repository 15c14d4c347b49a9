#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cvfile/crc32.h"
#include "cvfile/transfer_data.h"
#include "cvfile/transfer_record.h"
#include "transfer/incoming_file.h"
#include "transfer/transfer_port.h"

namespace corvina {

// Largest payload of a Data record the receiver accepts.
inline constexpr std::size_t kMaxIncomingChunk = 4096;

// The one binary file being received. Guarded by IncomingTransfer's mutex.
struct IncomingTransferState {
    bool active = false;
    bool failed = false;  // later Data records are ignored
    cvfile::ResultCode result = cvfile::ResultCode::ProtocolError;  // verdict when failed
    std::uint64_t transferId = 0;
    std::uint64_t expectedSize = 0;
    std::uint64_t receivedBytes = 0;  // file bytes written so far
    std::uint32_t expectedCrc = 0;
    std::uint32_t nextSequence = 1;
    std::uint32_t chunkCount = 0;  // Zlib: from the first Data record
    std::uint32_t lastPercent = 0;
    cvfile::CompressionMode mode = cvfile::CompressionMode::None;
    std::vector<std::uint8_t> compressed;  // Zlib: transfer data collected so far
    std::string displayName;               // UTF-8; the name or "invalid filename"
    std::filesystem::path finalPath;
    std::filesystem::path tempPath;  // set only once this station created the file
    std::unique_ptr<IncomingFile> file;
    cvfile::Crc32Accumulator crc;  // over the file bytes written
};

// Receives binary files from the peer into `receiveFolder` (created when
// needed), checks them and answers each with one Result record.
//
// The record handlers run on the host worker thread; Abandon may run on the
// window thread at the same time. The state is guarded by one mutex, which is
// never held while queueing through the port or posting an event. `port` and
// `fileSystem` must outlive this object.
class IncomingTransfer {
  public:
    IncomingTransfer(TransferPort& port, std::filesystem::path receiveFolder,
                     IncomingFileSystem& fileSystem = SystemIncomingFileSystem());
    ~IncomingTransfer();

    IncomingTransfer(const IncomingTransfer&) = delete;
    IncomingTransfer& operator=(const IncomingTransfer&) = delete;

    // Stores received files in `folder` from now on. Call before the session
    // starts.
    void SetReceiveFolder(std::filesystem::path folder) { receiveFolder_ = std::move(folder); }

    // A Start record: ends an unfinished transfer without a verdict, checks the
    // name, creates the ".part" file and announces the transfer. A refused
    // name or a file that cannot be created is answered when End arrives.
    void Begin(const cvfile::TransferRecord& record);

    // A Data record of the current transfer: checked and written (or kept,
    // when compressed); any fault fails the transfer and removes the file.
    void Data(const cvfile::TransferRecord& record);

    // An End record: checks it, inflates compressed data, verifies the CRC,
    // renames the file and queues the verdict with the changeover command.
    void End(const cvfile::TransferRecord& record);

    // A Cancel record: ends the matching transfer with Cancelled; when nothing
    // is being received, answers Cancelled for the unknown identifier.
    void Cancel(const cvfile::TransferRecord& record);

    // The modem's echo of a record this station sent: when it is the Result
    // awaiting its echo, queues the second "%O" and clears
    // incomingTransferActive.
    void EchoedResult(const cvfile::TransferRecord& record);

    // Drops the transfer: closes and deletes a partly written file, resets the
    // state and forgets a verdict awaiting its echo. Any thread; it never
    // waits for a record handler: while one holds the state, the drop happens
    // when that handler next takes it (a transfer the handler finishes
    // meanwhile keeps its verdict).
    void Abandon();

    // The identifier of the Result record awaiting its echo; 0 when none.
    std::uint64_t pendingResultId() const { return pendingResultId_.load(); }

  private:
    void Finish(const cvfile::TransferRecord& record, cvfile::ResultCode code);
    bool QueueTransferResult(std::uint64_t transferId, std::uint64_t size, std::uint32_t crc,
                             cvfile::ResultCode code);
    cvfile::ResultCode Verdict(const cvfile::TransferRecord& record, cvfile::ResultCode code);
    cvfile::ResultCode StoreVerifiedFile();
    void FailLocked(cvfile::ResultCode result);
    void DiscardFileLocked();
    void ResetLocked();
    void ApplyAbandonLocked();

    TransferPort& port_;
    std::filesystem::path receiveFolder_;
    IncomingFileSystem& fileSystem_;

    std::mutex incomingMutex_;
    IncomingTransferState incoming_;
    std::atomic<std::uint64_t> pendingResultId_{0};
    std::atomic<bool> abandonRequested_{false};  // Abandon found the state busy
};

}  // namespace corvina
