#include "transfer/incoming_transfer.h"

#include <algorithm>
#include <new>
#include <optional>
#include <utility>

#include "cvfile/record_codec.h"
#include "transfer/incoming_name.h"
#include "transfer/incoming_paths.h"
#include "transfer/utf8_path.h"

namespace corvina {
namespace {

using cvfile::CompressionMode;
using cvfile::RecordType;
using cvfile::ResultCode;

// Largest chunk count a Zlib Data record may announce.
constexpr std::uint32_t kMaxChunkCount = 4294967294u;

const std::vector<std::uint8_t> kChangeoverCommand = {'%', 'O'};

UiEvent TransferEvent(BinaryTransferMessage message) {
    UiEvent event;
    event.kind = UiEventKind::BinaryTransferEvent;
    event.payload = std::move(message);
    return event;
}

std::uint32_t Percent(std::uint64_t part, std::uint64_t whole, std::uint32_t cap) {
    if (whole == 0) {
        return cap;
    }
    // part <= whole here, and no transfer comes near 2^64 / 100 bytes.
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(cap, part * 100 / whole));
}

}  // namespace

IncomingTransfer::IncomingTransfer(TransferPort& port, std::filesystem::path receiveParent,
                                   IncomingFileSystem& fileSystem)
    : port_(port), receiveParent_(std::move(receiveParent)), fileSystem_(fileSystem) {}

IncomingTransfer::~IncomingTransfer() {
    Abandon();
}

void IncomingTransfer::DiscardFileLocked() {
    incoming_.file.reset();
    if (!incoming_.tempPath.empty()) {
        fileSystem_.Remove(incoming_.tempPath);
        incoming_.tempPath.clear();
    }
}

void IncomingTransfer::ResetLocked() {
    DiscardFileLocked();
    incoming_ = IncomingTransferState{};
}

void IncomingTransfer::FailLocked(ResultCode result) {
    incoming_.failed = true;
    if (incoming_.result != ResultCode::FileError) {
        incoming_.result = result;
    }
    incoming_.compressed = std::vector<std::uint8_t>();
    DiscardFileLocked();
}

void IncomingTransfer::Begin(const cvfile::TransferRecord& record) {
    const std::optional<std::string> name = AcceptedIncomingName(record);
    BinaryTransferMessage started;
    started.kind = BinaryTransferKind::ReceiveStarted;
    {
        std::lock_guard<std::mutex> lock(incomingMutex_);
        ResetLocked();
        IncomingTransferState& in = incoming_;
        in.active = true;
        in.expectedSize = record.offset;
        in.transferId = record.transferId;
        in.expectedCrc = record.value;
        in.mode = record.sequence == static_cast<std::uint32_t>(CompressionMode::Zlib)
                      ? CompressionMode::Zlib
                      : CompressionMode::None;
        in.displayName = name ? *name : std::string(kInvalidFileName);
        in.crc.Reset();
        if (!name) {
            in.failed = true;
            in.result = ResultCode::Rejected;
        } else {
            std::filesystem::path finalPath;
            std::filesystem::path tempPath;
            const bool built =
                receiveFolder_.empty()
                    ? BuildIncomingPaths(receiveParent_, *name, finalPath, tempPath)
                    : BuildIncomingPathsIn(receiveFolder_, *name, finalPath, tempPath);
            if (!built) {
                in.failed = true;
                in.result = ResultCode::FileError;
            } else {
                in.finalPath = std::move(finalPath);
                in.file = fileSystem_.CreateExclusive(tempPath);
                if (in.file) {
                    in.tempPath = std::move(tempPath);
                } else {
                    in.failed = true;
                    in.result = ResultCode::FileError;
                }
            }
        }
        started.name = in.displayName;
        started.path = PathToUtf8(in.finalPath);
        started.size = in.expectedSize;
        started.expectedCrc = in.expectedCrc;
        started.result = static_cast<std::uint8_t>(in.failed ? in.result : ResultCode::CrcOk);
    }
    port_.Flags().incomingTransferActive = true;
    port_.Post(TransferEvent(std::move(started)));
}

void IncomingTransfer::Data(const cvfile::TransferRecord& record) {
    std::optional<BinaryTransferMessage> progress;
    {
        std::lock_guard<std::mutex> lock(incomingMutex_);
        IncomingTransferState& in = incoming_;
        if (!in.active || in.transferId != record.transferId || in.failed) {
            return;
        }
        const std::size_t length = record.payload.size();
        if (record.sequence != in.nextSequence || length == 0 || length > kMaxIncomingChunk) {
            FailLocked(ResultCode::ProtocolError);
            return;
        }
        std::uint32_t percent = 0;
        if (in.mode == CompressionMode::None) {
            const std::uint64_t room =
                in.expectedSize > in.receivedBytes ? in.expectedSize - in.receivedBytes : 0;
            if (record.offset != in.receivedBytes || record.value != 0 || length > room) {
                FailLocked(ResultCode::ProtocolError);
                return;
            }
            if (!in.file || !in.file->Write(record.payload.data(), length)) {
                FailLocked(ResultCode::FileError);
                return;
            }
            in.crc.Update(record.payload.data(), length);
            in.receivedBytes += length;
            percent = Percent(in.receivedBytes, in.expectedSize, 100);
        } else {
            const std::uint64_t collected = in.compressed.size();
            if (record.offset != collected || record.value == 0 || record.value > kMaxChunkCount ||
                record.value < record.sequence ||
                (in.chunkCount != 0 && in.chunkCount != record.value) ||
                collected >= in.expectedSize || length > in.expectedSize - collected) {
                FailLocked(ResultCode::ProtocolError);
                return;
            }
            in.chunkCount = record.value;
            try {
                in.compressed.insert(in.compressed.end(), record.payload.begin(),
                                     record.payload.end());
            } catch (const std::bad_alloc&) {
                FailLocked(ResultCode::FileError);
                return;
            }
            percent = Percent(record.sequence, record.value, 99);
        }
        ++in.nextSequence;
        if (percent != in.lastPercent) {
            in.lastPercent = percent;
            BinaryTransferMessage message;
            message.kind = BinaryTransferKind::ReceiveProgress;
            message.name = in.displayName;
            message.percent = percent;
            progress = std::move(message);
        }
    }
    if (progress) {
        port_.Post(TransferEvent(std::move(*progress)));
    }
}

namespace {

// Writes the inflated file of a compressed transfer; FileError or
// ProtocolError on failure, CrcOk (no verdict yet) when the bytes are written.
ResultCode WriteInflated(IncomingTransferState& in) {
    if (in.chunkCount == 0 || in.nextSequence != in.chunkCount + 1 || in.compressed.empty() ||
        in.compressed.size() >= in.expectedSize) {
        return ResultCode::ProtocolError;
    }
    std::vector<std::uint8_t> decoded;
    if (!cvfile::DecodeTransferData(CompressionMode::Zlib, in.compressed.data(),
                                    in.compressed.size(), in.expectedSize, decoded)) {
        return ResultCode::ProtocolError;
    }
    in.compressed = std::vector<std::uint8_t>();
    if (!in.file || !in.file->Write(decoded.data(), decoded.size())) {
        return ResultCode::FileError;
    }
    in.crc.Update(decoded.data(), decoded.size());
    in.receivedBytes += decoded.size();
    return ResultCode::CrcOk;
}

}  // namespace

ResultCode IncomingTransfer::StoreVerifiedFile() {
    IncomingTransferState& in = incoming_;
    if (in.crc.Value() != in.expectedCrc) {
        return ResultCode::CrcError;
    }
    std::unique_ptr<IncomingFile> file = std::move(in.file);
    if (!file || !file->FlushAndClose()) {
        return ResultCode::FileError;
    }
    if (!fileSystem_.RenameWithoutReplacing(in.tempPath, in.finalPath)) {
        return ResultCode::FileError;
    }
    in.tempPath.clear();  // it is the final file now
    return ResultCode::CrcOk;
}

ResultCode IncomingTransfer::Verdict(const cvfile::TransferRecord& record, ResultCode code) {
    IncomingTransferState& in = incoming_;
    if (code != ResultCode::CrcOk) {
        return code;
    }
    if (in.failed) {
        return in.result;
    }
    if (record.type != RecordType::End || !record.payload.empty() ||
        record.sequence != in.nextSequence || record.offset != in.expectedSize ||
        record.value != in.expectedCrc) {
        return ResultCode::ProtocolError;
    }
    if (in.mode == CompressionMode::None) {
        if (in.receivedBytes != in.expectedSize) {
            return ResultCode::ProtocolError;
        }
    } else {
        const ResultCode written = WriteInflated(in);
        if (written != ResultCode::CrcOk) {
            return written;
        }
    }
    return StoreVerifiedFile();
}

void IncomingTransfer::Finish(const cvfile::TransferRecord& record, ResultCode code) {
    BinaryTransferMessage finished;
    finished.kind = BinaryTransferKind::ReceiveFinished;
    std::uint64_t transferId = 0;
    ResultCode verdict = ResultCode::ProtocolError;
    {
        std::lock_guard<std::mutex> lock(incomingMutex_);
        IncomingTransferState& in = incoming_;
        if (!in.active || in.transferId != record.transferId) {
            return;
        }
        verdict = Verdict(record, code);
        if (verdict != ResultCode::CrcOk) {
            DiscardFileLocked();  // nothing but a verified file stays behind
        }
        transferId = in.transferId;
        finished.name = in.displayName;
        finished.path = PathToUtf8(in.finalPath);
        finished.size = in.receivedBytes;
        finished.expectedCrc = in.expectedCrc;
        finished.actualCrc = in.crc.Value();
        finished.result = static_cast<std::uint8_t>(verdict);
        ResetLocked();
    }
    if (!QueueTransferResult(transferId, finished.size, finished.actualCrc, verdict)) {
        port_.Flags().incomingTransferActive = false;
    }
    port_.Post(TransferEvent(std::move(finished)));
}

void IncomingTransfer::End(const cvfile::TransferRecord& record) {
    Finish(record, ResultCode::CrcOk);
}

void IncomingTransfer::Cancel(const cvfile::TransferRecord& record) {
    if (record.sequence != 0 || record.offset != 0 || record.value != 0 ||
        !record.payload.empty()) {
        return;
    }
    bool active = false;
    bool matches = false;
    {
        std::lock_guard<std::mutex> lock(incomingMutex_);
        active = incoming_.active;
        matches = incoming_.transferId == record.transferId;
    }
    if (!active) {
        QueueTransferResult(record.transferId, 0, 0, ResultCode::Cancelled);
    } else if (matches) {
        Finish(record, ResultCode::Cancelled);
    }
}

bool IncomingTransfer::QueueTransferResult(std::uint64_t transferId, std::uint64_t size,
                                           std::uint32_t crc, ResultCode code) {
    cvfile::TransferRecord result;
    result.type = RecordType::Result;
    result.transferId = transferId;
    result.sequence = 0;
    result.offset = size;
    result.value = crc;
    result.payload = {static_cast<std::uint8_t>(code)};
    std::vector<std::uint8_t> encoded;
    try {
        encoded = cvfile::EncodeRecord(result);
    } catch (const std::exception&) {
        return false;  // a zero identifier: nothing can be answered
    }
    std::atomic<bool>& incomingActive = port_.Flags().incomingTransferActive;
    return port_.QueueVerdict(std::move(encoded), [&] {
        pendingResultId_ = transferId;
        incomingActive = true;
    });
}

void IncomingTransfer::EchoedResult(const cvfile::TransferRecord& record) {
    if (record.type != RecordType::Result || record.transferId == 0) {
        return;
    }
    std::uint64_t expected = record.transferId;
    if (!pendingResultId_.compare_exchange_strong(expected, 0)) {
        return;
    }
    port_.QueueCommand(kChangeoverCommand);
    port_.Flags().incomingTransferActive = false;
    BinaryTransferMessage changed;
    changed.kind = BinaryTransferKind::TransferStateChanged;
    port_.Post(TransferEvent(std::move(changed)));
}

void IncomingTransfer::Abandon() {
    {
        std::lock_guard<std::mutex> lock(incomingMutex_);
        ResetLocked();
    }
    pendingResultId_ = 0;
}

}  // namespace corvina
