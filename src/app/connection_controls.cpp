// The enabled states and texts of the connection and action controls, the
// transport controls' visibility, and the dispatch of the controls' commands.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/action_button.h"
#include "app/application.h"
#include "app/echo_pane.h"
#include "app/receive_pane.h"
#include "app/transfer_progress_bar.h"
#include "app/transmit_pane.h"

namespace corvina {
namespace {

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

ConnectionFlags Application::GatherConnectionFlags() const {
    ConnectionFlags f;
    f.sessionActive = flags_.sessionActive;
    f.arqActive = flags_.arqActive;
    f.fecSending = flags_.fecSending;
    f.fecActive = flags_.fecActive;
    f.fecStarting = flags_.fecStarting;
    f.fecEnding = flags_.fecEnding;
    f.callPending = flags_.callPending;
    f.abortPending = flags_.abortPending;
    f.calling = flags_.calling;
    f.fileSendActive = session_->fileSendActive.load();
    f.incomingTransferActive = session_->incomingTransferActive.load();
    f.binarySendActive = session_->binarySendActive.load();
    f.binaryAbortRequested = session_->binaryAbortRequested.load();
    f.changeoverPending = session_->changeoverPending.load();
    f.discoveryRunning = discoveryRunning_.load();
    f.callSignLength = static_cast<int>(callSignBox_->text().size());
    return f;
}

void Application::UpdateConnectionUi() {
    const ConnectionUiState ui = ComputeConnectionUi(GatherConnectionFlags());
    portButton_->setText(Text(ui.portButtonText));
    for (QWidget* w : {static_cast<QWidget*>(comSelector_), static_cast<QWidget*>(networkSelector_),
                       static_cast<QWidget*>(comPortList_), static_cast<QWidget*>(refreshButton_),
                       static_cast<QWidget*>(addressBox_)}) {
        w->setEnabled(ui.linkSelectionEnabled);
    }
    netFindButton_->setEnabled(ui.netFindEnabled);
    tcpPortBox_->setEnabled(ui.linkSettingsEnabled);
    channelBox_->setEnabled(ui.linkSettingsEnabled);
    commandLine_->setEnabled(ui.commandEnabled);
    executeButton_->setEnabled(ui.commandEnabled);
    binaryButton_->setText(Text(ui.binaryButtonText));
    broadcastButton_->setText(Text(ui.broadcastButtonText));
    disconnectButton_->setText(Text(ui.disconnectButtonText));
    transmitPane_->setEnabled(ui.transmitEnabled);
    textFileButton_->setEnabled(ui.transmitEnabled);
    binaryButton_->setEnabled(ui.binaryButtonEnabled);
    changeoverButton_->setEnabled(ui.changeoverEnabled);
    disconnectButton_->setEnabled(ui.disconnectEnabled);
    fecModeSelector_->setEnabled(ui.fecModeEnabled);
    broadcastButton_->setEnabled(ui.broadcastEnabled);
    callButton_->setText(Text(ui.callButtonText));
    callSignBox_->setEnabled(ui.callSignEnabled);
    callButton_->setEnabled(ui.callButtonEnabled);

    // A transfer ended by the link, the session or an abort takes its bar along.
    if (!session_->fileSendActive.load()) {
        sendProgress_->End();
    }
    if (!session_->incomingTransferActive.load()) {
        receiveProgress_->End();
    }

    ApplyStaticColours();
    callButton_->update();
    broadcastButton_->update();
}

void Application::UpdateTransportControls() {
    const bool com = ComSelected();
    comPortList_->setVisible(com);
    refreshButton_->setVisible(com);
    addressBox_->setVisible(!com);
    netFindButton_->setVisible(!com);
    tcpPortBox_->setVisible(!com);
}

void Application::ConnectSignals() {
    connect(comSelector_, &QPushButton::clicked, this, [this] { UpdateTransportControls(); });
    connect(networkSelector_, &QPushButton::clicked, this, [this] {
        UpdateTransportControls();
        if (!flags_.sessionActive) {
            StartDiscovery(false);
        }
    });
    connect(refreshButton_, &QPushButton::clicked, this, [this] { RefreshSerialPorts(); });
    connect(addressBox_, qOverload<int>(&QComboBox::activated), this,
            [this] { SelectDiscoveredModem(); });
    connect(netFindButton_, &QPushButton::clicked, this, [this] { StartDiscovery(false); });
    connect(portButton_, &QPushButton::clicked, this, [this] {
        if (flags_.sessionActive) {
            StopReconnecting();
            Disconnect(true);
        } else {
            Connect(false);
        }
    });
    connect(receiveClear_, &QPushButton::clicked, this, [this] { receivePane_->clear(); });
    connect(echoClear_, &QPushButton::clicked, this, [this] { echoPane_->clear(); });
    connect(executeButton_, &QPushButton::clicked, this, [this] { SubmitCommand(); });
    connect(binaryButton_, &QPushButton::clicked, this, [this] {
        if (session_->binarySendActive.load()) {
            AbortBinaryTransfer();
        } else {
            StartBinaryFileSend();
        }
    });
    connect(textFileButton_, &QPushButton::clicked, this, [this] { StartTextFileSend(); });
    connect(changeoverButton_, &QPushButton::clicked, this,
            [this] { actions_.RequestChangeover(true); });
    connect(disconnectButton_, &QPushButton::clicked, this, [this] { actions_.DisconnectArq(); });
    connect(callSignBox_, &QLineEdit::textEdited, this, [this](const QString& text) {
        // The box keeps call signs in upper case as they are typed.
        const QString upper = text.toUpper();
        if (upper != text) {
            const int cursor = callSignBox_->cursorPosition();
            callSignBox_->setText(upper);
            callSignBox_->setCursorPosition(cursor);
        }
    });
    connect(callSignBox_, &QLineEdit::textChanged, this, [this] { UpdateConnectionUi(); });
    connect(callButton_, &QPushButton::clicked, this, [this] { actions_.CallOrAbort(); });
    connect(broadcastButton_, &QPushButton::clicked, this,
            [this] { actions_.ToggleFecBroadcast(); });
    connect(transmitPane_, &TransmitPane::changeoverRequested, this,
            [this] { actions_.RequestChangeover(false); });
}

}  // namespace corvina
