#include <new>
#include <utility>
#include <vector>

#include "transfer/file_reading.h"
#include "transfer/file_senders.h"

namespace corvina {
namespace {

constexpr std::uint64_t kTextMarker = 1;  // FileSendFinishedEvent: a text send ended

void PostFinished(TransferPort& port) {
    UiEvent finished;
    finished.kind = UiEventKind::FileSendFinishedEvent;
    finished.wParam = kTextMarker;
    port.Post(std::move(finished));
}

}  // namespace

void SendTextFileWorker(TransferPort& port, const std::filesystem::path& path) {
    std::atomic<bool>& abort = port.Flags().transferAbortRequested;
    std::vector<std::uint8_t> content;
    std::string message;
    bool failed = false;
    const ReadOutcome outcome = ReadWholeFile(path, abort, content, SizeQuery::Optional);
    if (outcome == ReadOutcome::OpenFailed) {
        port.SetFileResult(std::string(kCouldNotOpenText), true);
        PostFinished(port);
        return;
    }
    if (abort) {
        message = kTextCancelled;
        failed = true;
    } else if (outcome == ReadOutcome::ReadFailed) {
        message = kCouldNotReadText;
        failed = true;
    } else if (content.empty()) {
        PostFinished(port);
    } else {
        try {
            if (!port.QueueData(std::move(content), OutboundKind::TextFile)) {
                message = kTextPathClosed;
                failed = true;
            }
        } catch (const std::bad_alloc&) {
            message = kCouldNotReadText;
            failed = true;
        }
    }
    port.SetFileResult(std::move(message), failed);
    if (failed) {
        PostFinished(port);
    }
}

}  // namespace corvina
