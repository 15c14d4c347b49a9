#include "transfer/file_transfers.h"

#include <system_error>
#include <utility>

#include "transfer/file_senders.h"
#include "transfer/incoming_name.h"
#include "transfer/transfer_id.h"
#include "transfer/utf8_path.h"

namespace corvina {

std::string SendFileName(const std::filesystem::path& path) {
    const std::string text = PathToUtf8(path);
    const std::size_t cut = text.find_last_of("\\/");
    return cut == std::string::npos ? text : text.substr(cut + 1);
}

FileTransfers::FileTransfers(TransferPort& port, std::filesystem::path receiveFolder,
                             IncomingFileSystem& fileSystem)
    : port_(port), incoming_(port, std::move(receiveFolder), fileSystem), outgoing_(port) {}

FileTransfers::~FileTransfers() {
    JoinFileSender();
}

bool FileTransfers::MayStart(bool needArq) {
    const TransferFlags flags = port_.Flags();
    if (!port_.SessionRunning() || flags.fileSendActive || flags.incomingTransferActive) {
        return false;
    }
    return needArq ? flags.arqConnected.load() : flags.linkCanSend.load();
}

FileTransfers::StartResult FileTransfers::StartBinaryFileSend(const std::filesystem::path& path) {
    StartResult result;
    if (!MayStart(true)) {
        return result;
    }
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        result.outcome = StartOutcome::Refused;
        result.status = kBinarySizeUnreadable;
        return result;
    }
    std::string name = SendFileName(path);
    if (name.empty() || name.size() > kMaxFileNameBytes) {
        result.outcome = StartOutcome::Refused;
        result.status = kBinaryNameTooLong;
        return result;
    }
    JoinFileSender();
    const std::uint64_t transferId = NewTransferId();
    outgoing_.Prepare(transferId, size, name);

    const TransferFlags flags = port_.Flags();
    flags.transferAbortRequested = false;
    flags.binaryAbortRequested = false;
    flags.binaryCancelRequested = false;
    flags.binarySendActive = true;
    flags.fileSendActive = true;
    port_.SetSendCounters(0, 0);
    port_.SetFileResult(std::string(), false);

    result.outcome = StartOutcome::Started;
    result.marker = "\r\n[Binary file: " + name + " " + std::to_string(size) + " Bytes]\r\n";
    result.status = kPreparingBinary;
    cancelIssued_ = false;
    binarySenderRunning_ = true;
    std::lock_guard<std::mutex> lock(senderMutex_);
    fileSenderThread_ = std::thread([this, path, name = std::move(name), transferId] {
        SendBinaryFileWorker(port_, outgoing_, path, name, transferId);
        // Paired with AbortBinaryFileSend: either the abort sees the sender
        // gone, or the sender sees the abort and tells the window it ended.
        binarySenderRunning_ = false;
        if (port_.Flags().binaryAbortRequested) {
            port_.Post(UiEvent::Plain(UiEventKind::FileSendFinishedEvent, 2));
        }
    });
    return result;
}

FileTransfers::StartResult FileTransfers::StartTextFileSend(const std::filesystem::path& path) {
    StartResult result;
    if (!MayStart(false)) {
        return result;
    }
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        result.outcome = StartOutcome::Refused;
        result.status = kTextSizeUnreadable;
        return result;
    }
    result.marker = "\r\n[" + SendFileName(path) + " " + std::to_string(size) + " Bytes]\r\n";
    JoinFileSender();

    const TransferFlags flags = port_.Flags();
    flags.transferAbortRequested = false;
    flags.binarySendActive = false;
    flags.fileSendActive = true;
    port_.SetSendCounters(size, 0);
    port_.SetFileResult(std::string(), false);

    result.outcome = StartOutcome::Started;
    result.status = kSendingTextStart;
    std::lock_guard<std::mutex> lock(senderMutex_);
    fileSenderThread_ = std::thread([this, path] { SendTextFileWorker(port_, path); });
    return result;
}

bool FileTransfers::AbortBinaryFileSend() {
    const TransferFlags flags = port_.Flags();
    if (!flags.binarySendActive || flags.binaryAbortRequested.exchange(true)) {
        return false;
    }
    flags.transferAbortRequested = true;
    if (!binarySenderRunning_) {
        FinishBinaryAbort();
    }
    return true;
}

void FileTransfers::FinishBinaryAbort() {
    if (!port_.Flags().binaryAbortRequested || binarySenderRunning_) {
        return;
    }
    JoinFileSender();
    if (!cancelIssued_.exchange(true)) {
        port_.RequestBinaryCancel();
    }
}

void FileTransfers::EndFileSend() {
    JoinFileSender();
    const TransferFlags flags = port_.Flags();
    flags.fileSendActive = false;
    flags.binarySendActive = false;
    flags.binaryAbortRequested = false;
    flags.binaryCancelRequested = false;
    outgoing_.Reset();
}

void FileTransfers::OnStartRecord(const cvfile::TransferRecord& record) {
    incoming_.Begin(record);
}

void FileTransfers::OnDataRecord(const cvfile::TransferRecord& record) {
    incoming_.Data(record);
}

void FileTransfers::OnEndRecord(const cvfile::TransferRecord& record) {
    incoming_.End(record);
}

void FileTransfers::OnResultRecord(const cvfile::TransferRecord& record) {
    outgoing_.HandleVerdict(record);
}

void FileTransfers::OnCancelRecord(const cvfile::TransferRecord& record) {
    incoming_.Cancel(record);
}

void FileTransfers::OnDelayedRecord(const cvfile::TransferRecord& record) {
    if (record.type == cvfile::RecordType::Data) {
        outgoing_.HandleEcho(record);
    } else if (record.type == cvfile::RecordType::Result) {
        incoming_.EchoedResult(record);
    }
}

std::uint64_t FileTransfers::ActiveOutgoingTransferId() {
    return outgoing_.ActiveId();
}

void FileTransfers::JoinFileSender() {
    std::thread sender;
    {
        std::lock_guard<std::mutex> lock(senderMutex_);
        if (!fileSenderThread_.joinable() ||
            fileSenderThread_.get_id() == std::this_thread::get_id()) {
            return;
        }
        sender = std::move(fileSenderThread_);
    }
    sender.join();
}

void FileTransfers::AbandonIncomingTransfer() {
    incoming_.Abandon();
}

void FileTransfers::ResetOutgoingTransfer() {
    outgoing_.Reset();
}

}  // namespace corvina
