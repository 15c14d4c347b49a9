// The serial-port list, "startup.txt" and the link choice it makes.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
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

int Application::ListedSerialIndex() const {
    const QString text = comPortList_->currentText().trimmed();
    int index = comPortList_->currentIndex();
    if (index < 0 || comPortList_->itemText(index) != text) {
        index = comPortList_->findText(text);
    }
    return index >= 0 && static_cast<std::size_t>(index) < serialPorts_.size() ? index : -1;
}

std::u16string Application::TypedSerialPort() const {
    if (ListedSerialIndex() >= 0) {
        return {};
    }
    return comPortList_->currentText().trimmed().toStdU16String();
}

void Application::RefreshSerialPorts() {
    std::u16string previous;
    const std::u16string typed = TypedSerialPort();
    const int selected = ListedSerialIndex();
    if (selected >= 0) {
        previous = serialPorts_[static_cast<std::size_t>(selected)].portName;
    }
    serialPorts_ = EnumerateSerialPorts();
    OrderMakerPortsFirst(serialPorts_);
    comPortList_->clear();
    for (const SerialPortInfo& port : serialPorts_) {
        comPortList_->addItem(QString::fromStdU16String(SerialPortLabel(port.description)));
    }
    if (!typed.empty()) {
        const std::size_t match = SelectionAfterRefresh(serialPorts_, typed);
        if (match < serialPorts_.size() && serialPorts_[match].portName == typed) {
            comPortList_->setCurrentIndex(static_cast<int>(match));
        } else {
            ShowTypedSerialPort(typed);
        }
    } else if (!serialPorts_.empty()) {
        comPortList_->setCurrentIndex(
            static_cast<int>(SelectionAfterRefresh(serialPorts_, previous)));
    }
}

void Application::ShowTypedSerialPort(const std::u16string& path) {
    comPortList_->setCurrentIndex(-1);
    comPortList_->setEditText(QString::fromStdU16String(path));
}

bool Application::LoadStartupConfiguration(bool applyLink) {
    std::string error;
    const std::filesystem::path& folder = options_.folders.scriptFolder;
    const bool ok =
        folder.empty()
            ? ReadOptionalCommandScript(kStartupScriptName, startupScript_, error)
            : ReadOptionalCommandScript(folder, kStartupScriptName, startupScript_, error);
    startupUsable_ = ok;
    if (ok && options_.connect) {
        // The command line's link replaces the file's for the whole run.
        cvhost::ModemConfiguration& modem = startupScript_.modem;
        modem.comPort = options_.connect->serial ? options_.connect->devicePath : std::string();
        modem.telnetHost = options_.connect->serial ? std::string() : options_.connect->host;
        modem.autostart = true;
    }
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
        case StartupLinkAction::SerialDevice:
            comSelector_->setChecked(true);
            networkSelector_->setChecked(false);
            ShowTypedSerialPort(Utf8ToWide(choice.devicePath));
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

void Application::ApplyLinkOverride() {
    if (options_.connect && !options_.connect->serial && options_.connect->port != 0) {
        tcpPortBox_->setText(QString::number(options_.connect->port));
    }
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
