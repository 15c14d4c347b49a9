#include "transfer/session_transfer_port.h"

#include <utility>

namespace corvina {

TransferFlags SessionTransferPort::Flags() {
    return TransferFlags{session_->transferAbortRequested, session_->fileSendActive,
                         session_->binarySendActive,       session_->binaryAbortRequested,
                         session_->binaryCancelRequested,  session_->incomingTransferActive,
                         session_->arqConnected,           session_->linkCanSend};
}

bool SessionTransferPort::SessionRunning() {
    return session_->sessionActive() && session_->HasTransport();
}

void SessionTransferPort::Post(UiEvent event) {
    session_->Post(std::move(event));
}

void SessionTransferPort::SetSendCounters(std::uint64_t totalBytes, std::uint64_t sentBytes) {
    session_->WithQueues([&](HostQueues& queues) {
        queues.sendTotalBytes = totalBytes;
        queues.sendSentBytes = sentBytes;
    });
}

bool SessionTransferPort::QueueData(std::vector<std::uint8_t> bytes, OutboundKind kind) {
    return session_->QueueData(std::move(bytes), kind);
}

void SessionTransferPort::QueueCommand(std::vector<std::uint8_t> command) {
    session_->QueueCommand(std::move(command));
}

bool SessionTransferPort::QueueVerdict(std::vector<std::uint8_t> record,
                                       const std::function<void()>& noteQueued) {
    const bool queued = session_->WithQueues([&](HostQueues& queues) {
        if (!session_->arqConnected) {
            return false;
        }
        noteQueued();
        queues.commandQueue.push_back({'%', 'O'});
        OutboundItem item;
        item.bytes = std::move(record);
        item.kind = OutboundKind::TransferControl;
        queues.outboundQueue.push_back(std::move(item));
        return true;
    });
    if (queued) {
        session_->WakeWorker();
    }
    return queued;
}

void SessionTransferPort::RequestBinaryCancel() {
    session_->RequestBinaryCancel();
}

void SessionTransferPort::SetFileResult(std::string text, bool isError) {
    session_->SetFileResult(std::move(text), isError);
}

}  // namespace corvina
