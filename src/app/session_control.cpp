// Starting and ending the session from the window, and the command line.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTime>
#include <algorithm>

#include "app/application.h"
#include "app/echo_pane.h"
#include "app/link_fields.h"
#include "app/transmit_pane.h"
#include "link/serial_diagnostics.h"
#include "link/serial_transport.h"
#include "link/telnet_transport.h"
#include "text/conversions.h"

namespace corvina {
namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The end of a send that the session took along: the link to the modem
// failed, or the operator closed it.
const QString kTextSendSessionEnded = QStringLiteral("Text file transfer ended: the session ended");
const QString kBinarySendSessionEnded =
    QStringLiteral("Binary file transfer ended: the session ended");

}  // namespace

void Application::Connect(bool autoStart) {
    RefreshSerialPorts();
    if (!LoadStartupConfiguration(autoStart)) {
        return;
    }
    const bool serialChecked = ComSelected();
    const auto channel = ParseHostmodeChannel(channelBox_->text().toStdU16String());
    if (!channel) {
        SetStatus(QStringLiteral("Enter a Hostmode channel from 1 to 31."), true);
        return;
    }
    QString buildError;
    std::unique_ptr<ITransport> transport = BuildTransport(buildError);
    if (!transport) {
        SetStatus(buildError, true);
        return;
    }
    SetStatus(QStringLiteral("Connecting..."), false);
    statusLine_->repaint();
    if (!serialChecked) {
        // Reaching a network modem can take seconds; the worker opens it, and
        // a failure comes back as the session's error.
        StartSession(std::move(transport), true, *channel, true);
        return;
    }
    bool isTelnetLink = false;
    std::string openError;
    if (!transport->Open(openError)) {
        const bool fallback = serialChecked && autoStart &&
                              !startupScript_.modem.telnetHost.empty() &&
                              SelectStartupTelnetTransport();
        if (!fallback) {
            SetStatus(FromUtf8(openError), true);
            return;
        }
        SetStatus(QStringLiteral("COM PORT UNAVAILABLE - TRYING TELNET..."), false);
        statusLine_->repaint();
        const QString serialError = FromUtf8(openError);
        transport = BuildTransport(buildError);
        if (!transport) {
            SetStatus(serialError + QStringLiteral("; Telnet fallback: ") + buildError, true);
            return;
        }
        std::string telnetError;
        if (!transport->Open(telnetError)) {
            SetStatus(serialError + QStringLiteral("; Telnet fallback: ") + FromUtf8(telnetError),
                      true);
            return;
        }
        isTelnetLink = true;
    }
    if (!isTelnetLink) {
        ShowLatencyHintOnce(transport->Description());
    }
    StartSession(std::move(transport), isTelnetLink, *channel, false);
}

void Application::ShowLatencyHintOnce(const std::string& devicePath) {
    const std::string hint = SerialLatencyHint(devicePath);
    if (!hint.empty() && latencyHintsShown_.insert(devicePath).second) {
        AppendCommandText(FromUtf8(hint));
    }
}

bool Application::StartSession(std::unique_ptr<ITransport> transport, bool isTelnetLink,
                               std::uint8_t channel, bool openFirst) {
    SessionSettings settings;
    settings.linkChannel = channel;
    settings.isTelnetLink = isTelnetLink;
    settings.terminalCommands = startupScript_.terminalCommands;
    settings.hostmodeCommands = startupScript_.hostmodeCommands;
    sessionSettings_ = settings;
    hostmodeReached_ = false;
    SetStatus(QStringLiteral("STARTING HOSTMODE..."), false);
    session_->StartInBackground(std::move(transport), openFirst, settings);
    ShowAttemptRunning();
    return true;
}

void Application::ShowAttemptRunning() {
    // A new session starts with no link, no call and no broadcast; while it
    // starts, "Disconnect port" cancels it.
    const bool statusIsError = flags_.statusIsError;
    flags_ = WindowFlags{};
    flags_.statusIsError = statusIsError;
    flags_.sessionActive = true;
    UpdateConnectionUi();
}

void Application::HandleLinkLoss(const QString& reason) {
    if (!reconnecting_) {
        reconnecting_ = true;
        reconnectDelay_ = kFirstReconnectDelay;
        AppendCommandText(
            QStringLiteral("[%1] Link lost: %2")
                .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), reason));
    }
    SetStatus(QStringLiteral("LINK LOST - RECONNECTING IN %1 S...")
                  .arg(std::chrono::duration_cast<std::chrono::seconds>(reconnectDelay_).count()),
              true);
    reconnectTimer_.start(reconnectDelay_);
    reconnectDelay_ = std::min(reconnectDelay_ * 2, kLongestReconnectDelay);
    ShowAttemptRunning();
}

void Application::Reconnect() {
    if (!reconnecting_ || !relink_) {
        return;
    }
    SetStatus(QStringLiteral("RECONNECTING..."), false);
    session_->StartInBackground(relink_(), true, sessionSettings_);
    ShowAttemptRunning();
}

void Application::StopReconnecting() {
    reconnectTimer_.stop();
    reconnecting_ = false;
    hostmodeReached_ = false;
}

void Application::Disconnect(bool orderly) {
    const bool hadSession = flags_.sessionActive;
    broadcastTimer_.stop();
    const bool sending = session_->fileSendActive.load();
    const bool binary = session_->binarySendActive.load();
    const bool sessionEnded = session_->Disconnect(orderly);
    if (!hadSession && !sessionEnded) {
        return;
    }
    // Nothing else reports a send that ends with the session, and a session
    // that heals itself after a failure would otherwise hide the loss.
    if (sending && !fileFailureShown_) {
        fileFailureShown_ = true;
        echoPane_->AppendLine(binary ? kBinarySendSessionEnded : kTextSendSessionEnded);
    }
    const bool statusIsError = flags_.statusIsError;
    flags_ = WindowFlags{};
    flags_.statusIsError = statusIsError;
    ResetStatusDisplay();
    UpdateConnectionUi();
    if (orderly) {
        SetStatus(QStringLiteral("MODEM DISCONNECTED"), false);
    }
}

void Application::SubmitCommand() {
    if (!flags_.sessionActive) {
        return;
    }
    const HostSession::SubmitResult result =
        session_->SubmitCommand(WideToModemBytes(commandLine_->text().toStdU16String()));
    switch (result.outcome) {
        case HostSession::SubmitOutcome::Ignored:
            return;
        case HostSession::SubmitOutcome::TooLong:
            SetStatus(
                QString::fromUtf8(HostSession::kCommandTooLongText.data(),
                                  static_cast<qsizetype>(HostSession::kCommandTooLongText.size())),
                true);
            return;
        case HostSession::SubmitOutcome::Queued:
            break;
    }
    if (result.connectRequested) {
        flags_.callPending = true;
        UpdateConnectionUi();
    }
    RecordCommand(commandLine_->text());
    commandLine_->clear();
    commandLine_->setFocus(Qt::OtherFocusReason);
}

std::unique_ptr<ITransport> Application::BuildTransport(QString& error) {
    if (ComSelected()) {
        std::u16string port = TypedSerialPort();
        const int index = ListedSerialIndex();
        if (port.empty() && index >= 0) {
            port = serialPorts_[static_cast<std::size_t>(index)].portName;
        }
        if (port.empty()) {
            error = QStringLiteral("Select a COM port first.");
            return nullptr;
        }
        const std::uint32_t baudRate = startupScript_.modem.baudRate;
        relink_ = [port, baudRate] { return CreateSerialTransport(port, baudRate); };
        return relink_();
    }
    std::u16string host = addressBox_->currentText().toStdU16String();
    const int index = addressBox_->currentIndex();
    if (index >= 0 && static_cast<std::size_t>(index) < discoveredModems_.size()) {
        const DiscoveredModem& modem = discoveredModems_[static_cast<std::size_t>(index)];
        if (host == DiscoveryLabel(modem)) {
            host = Utf8ToWide(modem.address);
        }
    }
    const auto port = ParseTelnetPort(tcpPortBox_->text().toStdU16String());
    if (host.empty() || !port) {
        error = QStringLiteral("Enter a valid modem address and Telnet port.");
        return nullptr;
    }
    relink_ = [address = WideToUtf8(host), tcpPort = *port] {
        return CreateTelnetTransport(address, tcpPort);
    };
    return relink_();
}

}  // namespace corvina
