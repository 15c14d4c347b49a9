// The window's handling of the events its worker threads post.

#include <QApplication>
#include <QLabel>
#include <QTime>

#include "app/application.h"
#include "app/echo_pane.h"
#include "app/receive_pane.h"
#include "app/transfer_progress_bar.h"
#include "app/transmit_pane.h"
#include "cvfile/transfer_record.h"
#include "cvrk/connect_text.h"
#include "text/conversions.h"
#include "transfer/format_crc.h"
#include "transfer/utf8_path.h"

namespace corvina {
namespace {

QString Wide(const std::vector<std::uint8_t>& bytes) {
    return QString::fromStdU16String(BytesToWide(bytes));
}

QString Crc(std::uint32_t crc) {
    return QString::fromStdString(FormatCrc32(crc));
}

QString Word(std::uint8_t result) {
    const std::string_view word = cvfile::ResultWord(result);
    return QString::fromUtf8(word.data(), static_cast<qsizetype>(word.size()));
}

// ", stored as NAME" when a received file had to take another name than the
// one announced (one was taken already); empty otherwise.
QString StoredAs(const BinaryTransferMessage& m) {
    if (m.kind != BinaryTransferKind::ReceiveFinished || m.result != 0 || m.path.empty()) {
        return {};
    }
    const std::string stored = PathToUtf8(PathFromUtf8(m.path).filename());
    if (stored == m.name) {
        return {};
    }
    return QStringLiteral(", stored as ") +
           QString::fromUtf8(stored.data(), static_cast<qsizetype>(stored.size()));
}

bool StartsWithLineBreak(const QString& text) {
    return !text.isEmpty() && (text.front() == u'\r' || text.front() == u'\n');
}

}  // namespace

void Application::HandleUiEvent(const UiEvent& event) {
    // A session ended by the operator may have failed or come up just before;
    // that news must not end or announce the session started after it. What
    // it received is still shown.
    const bool aboutTheSession =
        event.kind == UiEventKind::HostErrorEvent || event.kind == UiEventKind::HostmodeActiveEvent;
    if (aboutTheSession && event.session != session_->generation()) {
        return;
    }
    RecordTranscript(event);
    switch (event.kind) {
        case UiEventKind::HostOutputEvent:
            if (const HostOutput* output = event.hostOutput()) {
                HandleHostOutput(*output);
            }
            break;
        case UiEventKind::HostErrorEvent:
            HandleHostError(event);
            break;
        case UiEventKind::FileSendProgressEvent:
            HandleFileSendProgress(event.wParam, event.lParam);
            break;
        case UiEventKind::FileSendFinishedEvent:
            HandleFileSendFinished(event.wParam);
            break;
        case UiEventKind::DiscoveryFinishedEvent:
            FinishDiscovery();
            break;
        case UiEventKind::HostmodeActiveEvent:
            if (reconnecting_) {
                AppendCommandText(
                    QStringLiteral("[%1] Link restored")
                        .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))));
            }
            reconnecting_ = false;
            hostmodeReached_ = true;
            SetStatus(QStringLiteral("HOSTMODE ACTIVE"), false);
            transmitPane_->setFocus(Qt::OtherFocusReason);
            break;
        case UiEventKind::BinaryTransferEvent:
            if (const BinaryTransferMessage* message = event.transferMessage()) {
                HandleBinaryTransfer(*message);
            }
            break;
        case UiEventKind::AutoConnectEvent:
            if (!flags_.sessionActive) {
                Connect(true);
            }
            break;
    }
}

void Application::HandleHostOutput(const HostOutput& output) {
    switch (output.kind) {
        case HostOutputKind::ReceivedText:
            receivePane_->AppendText(Wide(output.bytes), false);
            return;
        case HostOutputKind::LinkMessage:
            HandleLinkMessage(output.bytes);
            return;
        case HostOutputKind::EchoText:
            echoPane_->AppendText(Wide(output.bytes));
            return;
        case HostOutputKind::CommandText:
            AppendCommandText(Wide(output.bytes));
            return;
        case HostOutputKind::StatusBytes:
        default:  // every kind above CommandText carries status bytes
            if (output.bytes.size() >= 3) {
                ApplyStatus(output.bytes[0], output.bytes[1], output.bytes[2]);
            }
            return;
    }
}

void Application::HandleLinkMessage(const std::vector<std::uint8_t>& bytes) {
    if (!cvrk::ExtractConnectedPeer(bytes).empty()) {
        flags_.callPending = flags_.abortPending = flags_.calling = false;
        flags_.peerConnected = true;
        UpdateConnectionUi();
    } else if (std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())
                   .find("DISCONNECTED") != std::string_view::npos) {
        flags_.ClearCallFlags();
        UpdateConnectionUi();
    }
    QString text = Wide(bytes);
    if (text.isEmpty()) {
        return;
    }
    if (receivePane_->Length() > 0 && !receivePane_->EndsWithLineBreak() &&
        !StartsWithLineBreak(text)) {
        text.prepend(QStringLiteral("\r\n"));
    }
    receivePane_->AppendText(text, true);
}

void Application::AppendCommandText(const QString& text) {
    if (text.isEmpty()) {
        return;
    }
    QString line = text;
    if (receivePane_->Length() > 0 && !receivePane_->EndsWithLineBreak()) {
        line.prepend(QStringLiteral("\r\n"));
    }
    if (!line.endsWith(u'\r') && !line.endsWith(u'\n')) {
        line.append(QStringLiteral("\r\n"));
    }
    receivePane_->AppendText(line, false);
}

void Application::HandleHostError(const UiEvent& event) {
    const std::string* message = event.errorText();
    const std::string text = message != nullptr ? *message : std::string();
    const QString reason = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    // Only a session that once ran heals itself; a first start that fails is
    // the operator's to repeat.
    const bool heal = startupScript_.modem.reconnect && (hostmodeReached_ || reconnecting_) &&
                      session_->EndedByLinkFailure(text);
    if (message != nullptr) {
        SetStatus(reason, true);
    }
    Disconnect(false);
    if (heal) {
        HandleLinkLoss(reason);
    } else {
        StopReconnecting();
    }
}

void Application::HandleFileSendProgress(std::uint64_t percent, std::int64_t binary) {
    if (!session_->fileSendActive.load() || session_->binaryAbortRequested.load()) {
        return;
    }
    if (!sendProgress_->running()) {
        sendProgress_->Begin(sendFileSize_);
    }
    sendProgress_->Advance(static_cast<std::uint32_t>(percent));
    SetStatus(QStringLiteral("Sending %1 file: %2%")
                  .arg(binary != 0 ? QStringLiteral("binary") : QStringLiteral("text"))
                  .arg(percent),
              false);
}

void Application::HandleFileSendFinished(std::uint64_t which) {
    const auto [resultText, resultIsError] = session_->FileResult();
    const QString result =
        QString::fromUtf8(resultText.data(), static_cast<qsizetype>(resultText.size()));
    if (which == 2) {
        transfers().JoinFileSender();
        if (session_->binaryAbortRequested.load()) {
            transfers().FinishBinaryAbort();
            SetStatus(QStringLiteral("Aborting binary file transfer..."), false);
            UpdateConnectionUi();
            return;
        }
        if (!resultIsError) {
            return;  // the verdict reports a successful send
        }
        if (session_->fileSendActive.load()) {
            ShowFileSendFailure();
        }
        transfers().EndFileSend();
        sendProgress_->End();
        UpdateConnectionUi();
        if (flags_.sessionActive && session_->arqConnected.load()) {
            SetStatus(result, true);
        }
        return;
    }
    if (!session_->fileSendActive.load()) {
        return;
    }
    ShowFileSendFailure();
    transfers().EndFileSend();
    sendProgress_->End();
    UpdateConnectionUi();
    if (flags_.sessionActive) {
        if (session_->linkCanSend.load() && resultIsError) {
            SetStatus(result, true);
        } else {
            SetStatus(QStringLiteral("HOSTMODE ACTIVE"), false);
        }
    }
    transmitPane_->setFocus(Qt::OtherFocusReason);
}

void Application::HandleBinaryTransfer(const BinaryTransferMessage& m) {
    const QString name = QString::fromUtf8(m.name.data(), static_cast<qsizetype>(m.name.size()));
    switch (m.kind) {
        case BinaryTransferKind::ReceiveStarted:
            receivePane_->AppendText(QStringLiteral("\r\n[Receiving binary file: ") + name +
                                         QStringLiteral(", ") + QString::number(m.size) +
                                         QStringLiteral(" Bytes, CRC32 ") + Crc(m.expectedCrc) +
                                         QStringLiteral("]\r\n"),
                                     false);
            SetStatus(QStringLiteral("Receiving binary file: 0%"), false);
            if (m.result == 0) {  // a refused start never moves
                receiveProgress_->Begin(m.size);
            }
            UpdateConnectionUi();
            break;
        case BinaryTransferKind::ReceiveProgress:
            SetStatus(QStringLiteral("Receiving binary file: %1%").arg(m.percent), false);
            receiveProgress_->Advance(m.percent);
            break;
        case BinaryTransferKind::TransferStateChanged:
            UpdateConnectionUi();
            if (flags_.sessionActive) {
                SetStatus(QStringLiteral("HOSTMODE ACTIVE"), false);
            }
            break;
        case BinaryTransferKind::ReceiveFinished:
        case BinaryTransferKind::SendFinished:
        default: {  // every kind above TransferStateChanged ends a send
            // Concatenated, not formatted: the peer chooses the name.
            const QString verb = m.kind == BinaryTransferKind::ReceiveFinished
                                     ? QStringLiteral("[Binary file received: ")
                                     : QStringLiteral("[Binary file sent: ");
            const QString line = verb + name + QStringLiteral(", ") + Word(m.result) +
                                 QStringLiteral(", CRC32 ") + Crc(m.actualCrc) + StoredAs(m) +
                                 QStringLiteral("]\r\n");
            if (m.kind == BinaryTransferKind::ReceiveFinished) {
                receiveProgress_->End();
                receivePane_->AppendText(line, false);
            } else {
                transfers().EndFileSend();
                sendProgress_->End();
                echoPane_->AppendText(line);
            }
            UpdateConnectionUi();
            if (flags_.sessionActive) {
                SetStatus(QStringLiteral("HOSTMODE ACTIVE"), false);
            }
            if (m.result != 0) {
                QApplication::beep();
            }
            break;
        }
    }
    transmitPane_->setFocus(Qt::OtherFocusReason);
}

}  // namespace corvina
