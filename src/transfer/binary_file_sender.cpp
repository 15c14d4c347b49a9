#include <exception>
#include <new>
#include <utility>
#include <vector>

#include "transfer/file_reading.h"
#include "transfer/file_senders.h"
#include "transfer/record_stream.h"

namespace corvina {
namespace {

constexpr std::uint64_t kBinaryMarker = 2;  // FileSendFinishedEvent: a binary send ended

void Finish(TransferPort& port, std::string message, bool failed) {
    port.SetFileResult(std::move(message), failed);
    if (failed) {
        UiEvent finished;
        finished.kind = UiEventKind::FileSendFinishedEvent;
        finished.wParam = kBinaryMarker;
        port.Post(std::move(finished));
    }
}

}  // namespace

void SendBinaryFileWorker(TransferPort& port, OutgoingTransfer& outgoing,
                          const std::filesystem::path& path, const std::string& name,
                          std::uint64_t transferId) {
    std::atomic<bool>& abort = port.Flags().transferAbortRequested;
    std::vector<std::uint8_t> content;
    switch (ReadWholeFile(path, abort, content)) {
        case ReadOutcome::OpenFailed:
            return Finish(port, std::string(kCouldNotOpenBinary), true);
        case ReadOutcome::ReadFailed:
            if (abort) {
                return Finish(port, std::string(kBinaryCancelled), true);
            }
            return Finish(port, std::string(kCouldNotReadBinary), true);
        case ReadOutcome::Aborted:
            return Finish(port, std::string(kBinaryCancelled), true);
        case ReadOutcome::Complete:
            break;
    }
    if (abort) {
        return Finish(port, std::string(kBinaryCancelled), true);
    }
    try {
        BinaryRecordStream stream =
            BuildBinaryRecordStream(std::move(content), name, transferId, abort);
        outgoing.Built(stream.fileSize, stream.chunkCount, stream.fileCrc);
        port.SetSendCounters(stream.bytes.size(), 0);
        UiEvent progress;
        progress.kind = UiEventKind::FileSendProgressEvent;
        progress.wParam = 0;
        progress.lParam = 1;
        port.Post(std::move(progress));
        if (!port.QueueData(std::move(stream.bytes), OutboundKind::BinaryFile)) {
            return Finish(port, std::string(kBinaryArqGone), true);
        }
    } catch (const std::bad_alloc&) {
        // The library's own text would mean nothing to the operator.
        return Finish(port, std::string(kCouldNotReadBinary), true);
    } catch (const std::exception& error) {
        if (abort) {
            return Finish(port, std::string(kBinaryCancelled), true);
        }
        return Finish(port, error.what(), true);
    }
    Finish(port, std::string(), false);
}

}  // namespace corvina
