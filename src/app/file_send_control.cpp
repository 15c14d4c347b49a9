// The window's side of the file sends: preconditions, the file dialog, the
// marker in the transmit pane, and the operator's abort.

#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>

#include "app/application.h"
#include "app/echo_pane.h"
#include "app/transfer_progress_bar.h"
#include "app/transmit_pane.h"

namespace corvina {
namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QString Application::ChooseFile(const QString& filter) {
    if (options_.chooseFile) {
        return options_.chooseFile(this, filter);
    }
    return QFileDialog::getOpenFileName(this, QString(), QString(), filter, nullptr,
                                        QFileDialog::ReadOnly);
}

void Application::StartBinaryFileSend() {
    if (!flags_.sessionActive || !flags_.arqActive || !session_->arqConnected.load() ||
        session_->fileSendActive.load() || session_->incomingTransferActive.load()) {
        return;
    }
    const QString path = ChooseFile(QStringLiteral("All files (*.*)"));
    if (path.isEmpty()) {
        return;
    }
    BeginSendProgress(path);
    ShowStartResult(transfers().StartBinaryFileSend(std::filesystem::path(path.toStdU16String())));
}

void Application::StartTextFileSend() {
    if (!flags_.sessionActive || !(flags_.arqActive || flags_.fecActive) ||
        !session_->linkCanSend.load() || flags_.fecEnding || session_->fileSendActive.load() ||
        session_->incomingTransferActive.load()) {
        return;
    }
    const QString path = ChooseFile(QStringLiteral("Text files (*.txt);;All files (*.*)"));
    if (path.isEmpty()) {
        return;
    }
    BeginSendProgress(path);
    ShowStartResult(transfers().StartTextFileSend(std::filesystem::path(path.toStdU16String())));
}

// The bar itself appears with the first progress event: a binary file is
// compressed before anything goes out.
void Application::BeginSendProgress(const QString& path) {
    sendProgress_->End();
    sendFileSize_ = static_cast<std::uint64_t>(QFileInfo(path).size());
}

void Application::ShowStartResult(const FileTransfers::StartResult& result) {
    switch (result.outcome) {
        case FileTransfers::StartOutcome::NotAllowed:
            return;
        case FileTransfers::StartOutcome::Refused:
            SetStatus(FromUtf8(result.status), true);
            return;
        case FileTransfers::StartOutcome::Started:
            fileFailureShown_ = false;
            transmitPane_->InsertControlMarker(FromUtf8(result.marker));
            UpdateConnectionUi();
            SetStatus(FromUtf8(result.status), false);
            return;
    }
}

void Application::ShowFileSendFailure() {
    const auto [text, isError] = session_->FileResult();
    if (!isError || text.empty() || fileFailureShown_) {
        return;
    }
    fileFailureShown_ = true;
    echoPane_->AppendLine(FromUtf8(text));
}

void Application::AbortBinaryTransfer() {
    if (!session_->binarySendActive.load() || session_->binaryAbortRequested.load()) {
        return;
    }
    // Shown and painted before anything else happens, so the operator sees
    // the abort taken even if the sender needs a moment to stop.
    SetStatus(FromUtf8(kAbortingBinary), false);
    statusLine_->repaint();
    if (transfers().AbortBinaryFileSend()) {
        UpdateConnectionUi();
    }
}

}  // namespace corvina
