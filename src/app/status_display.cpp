// The status row: one status poll turned into texts, link flags and the
// clean-up after an ARQ link ends.

#include <QLabel>

#include "app/application.h"
#include "app/status_decoding.h"

namespace corvina {

void Application::ApplyStatus(std::uint8_t status, std::uint8_t level, std::uint8_t speed) {
    flags_.level = level;
    StatusPrevious previous;
    previous.arqActive = flags_.arqActive;
    previous.fecActive = flags_.fecActive;
    previous.fecStarting = flags_.fecStarting;
    previous.fecEnding = flags_.fecEnding;
    previous.callPending = flags_.callPending;
    previous.peerConnected = flags_.peerConnected;
    previous.fileSendActive = session_->fileSendActive.load();
    previous.binarySendActive = session_->binarySendActive.load();
    ApplyStatusOutcome(DecodeStatus({status, level, speed}, previous));
}

void Application::ApplyStatusOutcome(const StatusOutcome& out) {
    flags_.fecActive = out.fecActive;
    flags_.arqActive = out.arqActive;
    flags_.fecSending = out.fecSending;
    if (out.stopTextFileSend) {
        session_->StopTextFileSend();
    }
    if (out.fecStartConfirmed) {
        flags_.fecStarting = false;
        broadcastTimer_.stop();
    }
    if (out.fecEndConfirmed) {
        flags_.fecEnding = false;
        broadcastTimer_.stop();
        SetStatus(QStringLiteral("HOSTMODE ACTIVE"), false);
    }
    flags_.calling = out.calling;
    flags_.sendIndicator = out.sendIndicator;
    directionLabel_->setText(QString::fromStdString(out.directionText));
    stateLabel_->setText(QString::fromStdString(out.stateText));
    modeLabel_->setText(QString::fromStdString(out.modeText));
    if (out.arqLinkEnded) {
        CleanUpArqLink();
    }
    UpdateConnectionUi();
}

void Application::CleanUpArqLink() {
    flags_.ClearCallFlags();
    const bool sending = session_->fileSendActive.load();
    session_->CleanUpArqLink();
    if (sending) {
        ShowFileSendFailure();
    }
    SetStatus(QStringLiteral("HOSTMODE ACTIVE"), false);
}

void Application::ResetStatusDisplay() {
    flags_.sendIndicator = false;
    directionLabel_->clear();
    modeLabel_->clear();
    stateLabel_->setText(QStringLiteral("UNKNOWN STATUS"));
}

}  // namespace corvina
