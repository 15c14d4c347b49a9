// The window's handling of the events its worker threads post.

#include <QApplication>
#include <QLabel>

#include "app/application.h"
#include "app/echo_pane.h"
#include "app/receive_pane.h"
#include "app/transmit_pane.h"
#include "cvfile/transfer_record.h"
#include "cvrk/connect_text.h"
#include "text/conversions.h"
#include "transfer/format_crc.h"

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

bool StartsWithLineBreak(const QString& text) {
    return !text.isEmpty() && (text.front() == u'\r' || text.front() == u'\n');
}

}  // namespace

void Application::HandleUiEvent(const UiEvent& event) {
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
    if (const std::string* message = event.errorText()) {
        SetStatus(QString::fromUtf8(message->data(), static_cast<qsizetype>(message->size())),
                  true);
    }
    Disconnect(false);
}

void Application::HandleFileSendProgress(std::uint64_t percent, std::int64_t binary) {
    if (!session_->fileSendActive.load() || session_->binaryAbortRequested.load()) {
        return;
    }
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
            SetStatus(QStringLiteral("Aborting binary file transfer..."), false);
            UpdateConnectionUi();
            return;
        }
        if (!resultIsError) {
            return;  // the verdict reports a successful send
        }
        transfers().EndFileSend();
        UpdateConnectionUi();
        if (flags_.sessionActive && session_->arqConnected.load()) {
            SetStatus(result, true);
        }
        return;
    }
    if (!session_->fileSendActive.load()) {
        return;
    }
    transfers().EndFileSend();
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
            UpdateConnectionUi();
            break;
        case BinaryTransferKind::ReceiveProgress:
            SetStatus(QStringLiteral("Receiving binary file: %1%").arg(m.percent), false);
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
                                 QStringLiteral(", CRC32 ") + Crc(m.actualCrc) +
                                 QStringLiteral("]\r\n");
            if (m.kind == BinaryTransferKind::ReceiveFinished) {
                receivePane_->AppendText(line, false);
            } else {
                transfers().EndFileSend();
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
