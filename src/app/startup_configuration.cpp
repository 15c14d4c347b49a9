// The serial-port list, "startup.txt" and the link choice it makes.

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "app/application.h"
#include "app/receive_pane.h"
#include "link/command_script_file.h"
#include "link/port_list.h"
#include "link/startup_link.h"
#include "text/conversions.h"

namespace corvina {
namespace {

constexpr const char* kStartupScriptName = "startup.txt";

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void Application::RefreshSerialPorts() {
    std::u16string previous;
    const int selected = comPortList_->currentIndex();
    if (selected >= 0 && static_cast<std::size_t>(selected) < serialPorts_.size()) {
        previous = serialPorts_[static_cast<std::size_t>(selected)].portName;
    }
    serialPorts_ = EnumerateSerialPorts();
    OrderMakerPortsFirst(serialPorts_);
    comPortList_->clear();
    for (const SerialPortInfo& port : serialPorts_) {
        comPortList_->addItem(QString::fromStdU16String(SerialPortLabel(port.description)));
    }
    if (!serialPorts_.empty()) {
        comPortList_->setCurrentIndex(
            static_cast<int>(SelectionAfterRefresh(serialPorts_, previous)));
    }
}

bool Application::LoadStartupConfiguration(bool applyLink) {
    std::string error;
    const bool ok = options_.scriptFolder.empty()
                        ? ReadOptionalCommandScript(kStartupScriptName, startupScript_, error)
                        : ReadOptionalCommandScript(options_.scriptFolder, kStartupScriptName,
                                                    startupScript_, error);
    startupUsable_ = ok;
    // A script that cannot be read leaves the default: transcript on.
    ApplyTranscriptSetting();
    if (!ok) {
        ReportStartupConfigurationError(FromUtf8(error));
        return false;
    }
    if (!applyLink) {
        lastStartupError_.clear();
        return true;
    }
    const StartupLinkChoice choice = ChooseStartupLink(startupScript_.modem, serialPorts_);
    switch (choice.action) {
        case StartupLinkAction::Serial:
            comSelector_->setChecked(true);
            networkSelector_->setChecked(false);
            comPortList_->setCurrentIndex(static_cast<int>(choice.serialIndex));
            UpdateTransportControls();
            break;
        case StartupLinkAction::Telnet:
            SelectStartupTelnetTransport();
            break;
        case StartupLinkAction::Error:
            startupUsable_ = false;
            ReportStartupConfigurationError(FromUtf8(choice.error));
            return false;
        case StartupLinkAction::None:
            break;
    }
    lastStartupError_.clear();
    return true;
}

void Application::ReportStartupConfigurationError(const QString& message) {
    if (message != lastStartupError_) {
        QString line = QStringLiteral("[startup.txt init] ") + message;
        if (receivePane_->Length() > 0 && !receivePane_->EndsWithLineBreak()) {
            line.prepend(QStringLiteral("\r\n"));
        }
        if (!line.endsWith(u'\r') && !line.endsWith(u'\n')) {
            line.append(QStringLiteral("\r\n"));
        }
        receivePane_->AppendText(line, false);
    }
    lastStartupError_ = message;
    statusLine_->setText(QStringLiteral("MODEM DISCONNECTED"));
}

bool Application::SelectStartupTelnetTransport() {
    if (startupScript_.modem.telnetHost.empty()) {
        return false;
    }
    comSelector_->setChecked(false);
    networkSelector_->setChecked(true);
    addressBox_->setEditText(FromUtf8(startupScript_.modem.telnetHost));
    UpdateTransportControls();
    return true;
}

}  // namespace corvina
