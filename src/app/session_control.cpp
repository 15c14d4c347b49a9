// Starting and ending the session from the window, and the command line.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/application.h"
#include "app/link_fields.h"
#include "app/transmit_pane.h"
#include "link/serial_transport.h"
#include "link/telnet_transport.h"
#include "text/conversions.h"

namespace corvina {
namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

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
    statusLine_->repaint();  // the terminal dialogue blocks the window
    bool isTelnetLink = !serialChecked;
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
    StartSession(std::move(transport), isTelnetLink, *channel);
}

bool Application::StartSession(std::unique_ptr<ITransport> transport, bool isTelnetLink,
                               std::uint8_t channel) {
    SessionSettings settings;
    settings.linkChannel = channel;
    settings.isTelnetLink = isTelnetLink;
    settings.terminalCommands = startupScript_.terminalCommands;
    settings.hostmodeCommands = startupScript_.hostmodeCommands;

    SetStatus(QStringLiteral("STARTING HOSTMODE..."), false);
    statusLine_->repaint();
    std::string error;
    if (!session_->Start(std::move(transport), settings, error)) {
        SetStatus(FromUtf8(error), true);
        Disconnect(false);
        return false;
    }
    // A new session starts with no link, no call and no broadcast.
    flags_ = WindowFlags{};
    flags_.sessionActive = true;
    UpdateConnectionUi();
    return true;
}

void Application::Disconnect(bool orderly) {
    const bool hadSession = flags_.sessionActive;
    broadcastTimer_.stop();
    const bool sessionEnded = session_->Disconnect(orderly);
    if (!hadSession && !sessionEnded) {
        return;
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
        const int index = comPortList_->currentIndex();
        if (index >= 0 && static_cast<std::size_t>(index) < serialPorts_.size()) {
            return CreateSerialTransport(serialPorts_[static_cast<std::size_t>(index)].portName);
        }
        error = QStringLiteral("Select a COM port first.");
        return nullptr;
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
    return CreateTelnetTransport(WideToUtf8(host), *port);
}

}  // namespace corvina
