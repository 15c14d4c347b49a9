#include "transfer/outgoing_transfer.h"

#include <optional>
#include <utility>

namespace corvina {
namespace {

using cvfile::RecordType;
using cvfile::ResultCode;

constexpr std::uint8_t kHighestResultCode = static_cast<std::uint8_t>(ResultCode::Cancelled);

}  // namespace

void OutgoingTransfer::Prepare(std::uint64_t transferId, std::uint64_t size, std::string name) {
    std::lock_guard<std::mutex> lock(outgoingMutex_);
    state_ = OutgoingTransferState{};
    state_.outgoingId = transferId;
    state_.outgoingSize = size;
    state_.outgoingName = std::move(name);
}

void OutgoingTransfer::Built(std::uint64_t size, std::uint32_t chunkCount, std::uint32_t crc) {
    std::lock_guard<std::mutex> lock(outgoingMutex_);
    state_.outgoingSize = size;
    state_.outgoingChunkCount = chunkCount;
    state_.outgoingCrc = crc;
}

void OutgoingTransfer::Reset() {
    std::lock_guard<std::mutex> lock(outgoingMutex_);
    state_ = OutgoingTransferState{};
}

std::uint64_t OutgoingTransfer::ActiveId() {
    std::lock_guard<std::mutex> lock(outgoingMutex_);
    return state_.outgoingId;
}

OutgoingTransferState OutgoingTransfer::Snapshot() {
    std::lock_guard<std::mutex> lock(outgoingMutex_);
    return state_;
}

void OutgoingTransfer::HandleVerdict(const cvfile::TransferRecord& record) {
    if (record.sequence != 0 || record.payload.size() != 1 ||
        record.payload[0] > kHighestResultCode) {
        return;
    }
    BinaryTransferMessage message;
    {
        std::lock_guard<std::mutex> lock(outgoingMutex_);
        if (!port_.Flags().binarySendActive || state_.outgoingId == 0 ||
            state_.outgoingId != record.transferId) {
            return;
        }
        message.kind = BinaryTransferKind::SendFinished;
        message.name = state_.outgoingName;
        message.size = record.offset;
        message.expectedCrc = state_.outgoingCrc;
        message.actualCrc = record.value;
        message.result = record.payload[0];
        if (message.result == static_cast<std::uint8_t>(ResultCode::CrcOk) &&
            (record.offset != state_.outgoingSize || record.value != state_.outgoingCrc)) {
            message.result = static_cast<std::uint8_t>(ResultCode::ProtocolError);
        }
    }
    UiEvent event;
    event.kind = UiEventKind::BinaryTransferEvent;
    event.payload = std::move(message);
    port_.Post(std::move(event));
}

void OutgoingTransfer::HandleEcho(const cvfile::TransferRecord& record) {
    if (record.type != RecordType::Data) {
        return;
    }
    std::uint32_t sequence = 0;
    std::uint32_t count = 0;
    {
        std::lock_guard<std::mutex> lock(outgoingMutex_);
        OutgoingTransferState& s = state_;
        if (!port_.Flags().binarySendActive || s.outgoingId == 0 ||
            s.outgoingId != record.transferId) {
            return;
        }
        if (record.sequence < 1 || record.sequence > s.outgoingChunkCount ||
            record.sequence <= s.outgoingLastSequence) {
            return;
        }
        if (record.value != 0) {
            if (record.value != s.outgoingChunkCount) {
                return;
            }
        } else {
            const std::uint64_t end = record.offset + record.payload.size();
            if (end < record.offset || end > s.outgoingSize || end <= s.outgoingConfirmedBytes) {
                return;
            }
            s.outgoingConfirmedBytes = end;
        }
        s.outgoingLastSequence = record.sequence;
        sequence = record.sequence;
        count = s.outgoingChunkCount;
    }
    UiEvent progress;
    progress.kind = UiEventKind::FileSendProgressEvent;
    progress.wParam = static_cast<std::uint64_t>(sequence) * 100 / count;
    progress.lParam = 1;
    port_.Post(std::move(progress));

    const std::string line =
        "[Binary record " + std::to_string(sequence) + "/" + std::to_string(count) + " sent]\r\n";
    UiEvent echo;
    echo.kind = UiEventKind::HostOutputEvent;
    echo.payload =
        HostOutput{HostOutputKind::EchoText, std::vector<std::uint8_t>(line.begin(), line.end())};
    port_.Post(std::move(echo));
}

}  // namespace corvina
