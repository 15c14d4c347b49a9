// Creation of the window's controls in their fixed order, their placement,
// and the colours of the static texts.

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "app/action_button.h"
#include "app/application.h"
#include "app/control_ids.h"
#include "app/echo_pane.h"
#include "app/elided_label.h"
#include "app/folders_button.h"
#include "app/layout_geometry.h"
#include "app/receive_pane.h"
#include "app/transfer_progress_bar.h"
#include "app/transmit_pane.h"

namespace corvina {
namespace {

// The address box's initial text: a private address of a modem on a LAN.
constexpr const char* kDefaultModemAddress = "192.168.1.150";
constexpr const char* kDefaultTelnetPort = "3000";
constexpr const char* kDefaultChannel = "4";
constexpr int kAddressPopupWidth = 460;
constexpr int kPortDropHeight = 240;
constexpr int kFecDropHeight = 180;
constexpr Qt::Alignment kTopLeft = Qt::AlignLeft | Qt::AlignTop;
constexpr Qt::Alignment kMiddleLeft = Qt::AlignLeft | Qt::AlignVCenter;
// The folders button: distance of its left edge from the right window edge,
// and its place in the header band below the version text.
constexpr int kFoldersButtonRight = 130;
constexpr int kFoldersButtonY = 46;
constexpr int kFoldersButtonWidth = 108;
constexpr int kFoldersButtonHeight = 26;

void Name(QWidget* widget, int id) {
    widget->setObjectName(QString::number(id));
}

QLabel* MakeLabel(QWidget* parent, const char* text, const QFont& font, const char* name,
                  Qt::Alignment alignment = kTopLeft, bool elide = false) {
    QLabel* label = elide ? new ElidedLabel(QString::fromUtf8(text), parent)
                          : new QLabel(QString::fromUtf8(text), parent);
    label->setFont(font);
    label->setObjectName(QString::fromUtf8(name));
    label->setAlignment(alignment);
    label->setWordWrap(false);
    return label;
}

QLabel* MakeStatusField(QWidget* parent, const char* text, const QFont& font, const char* name) {
    QLabel* label = MakeLabel(parent, text, font, name, Qt::AlignCenter, true);
    label->setFrameShape(QFrame::Box);
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* text, int id) {
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::StrongFocus);
    Name(button, id);
    return button;
}

QLineEdit* MakeDigitsBox(QWidget* parent, const char* text, int id) {
    auto* box = new QLineEdit(QString::fromUtf8(text), parent);
    box->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), box));
    Name(box, id);
    return box;
}

// A list that opens up to `pixels` high, however many items it holds.
void SetDropHeight(QComboBox* box, int pixels) {
    box->setMaxVisibleItems(pixels);
    box->view()->parentWidget()->setMaximumHeight(pixels);
}

void Place(QWidget* widget, const ControlRect& r) {
    widget->setGeometry(r.x, r.y, r.width, r.height);
}

void SetTextColour(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    if (palette.color(QPalette::WindowText) != colour) {
        palette.setColor(QPalette::WindowText, colour);
        label->setPalette(palette);
    }
}

}  // namespace

void Application::CreateControls() {
    CreateHeader();
    CreateConnectionRows();
    CreateActionRows();
    CreatePanes();
    comSelector_->setChecked(true);
    ApplyStaticColours();
}

void Application::CreateHeader() {
    logoLabel_ = MakeLabel(this, "CV", fonts_.large, "logoLabel");
    productLabel_ = MakeLabel(this, "Corvina", fonts_.large, "productLabel");
    headerLabel_ = MakeLabel(this, "Velk CRC Hostmode Terminal", fonts_.normal, "headerLabel");
    versionLabel_ = MakeLabel(this, "Version 1.00.11", fonts_.normal, "versionLabel",
                              Qt::AlignRight | Qt::AlignTop);
}

void Application::CreateFoldersButton() {
    auto open = options_.openFolder ? options_.openFolder : OpenFolderInFileManager;
    foldersButton_ = new FoldersButton(
        options_.folders, std::move(open), [this](const QString& error) { SetStatus(error, true); },
        this);
    foldersButton_->setFont(fonts_.normal);
}

void Application::CreateConnectionRows() {
    comSelector_ = MakeButton(this, "COM port", kIdComSelector);
    networkSelector_ = MakeButton(this, "Network / Telnet", kIdNetworkSelector);
    for (QPushButton* selector : {comSelector_, networkSelector_}) {
        selector->setCheckable(true);
        selector->setAutoExclusive(true);
    }
    comPortList_ = new QComboBox(this);
    SetDropHeight(comPortList_, kPortDropHeight);
    Name(comPortList_, kIdComPortList);
    // Pseudo-terminals, rfcomm and other virtual ports are not listed; their
    // path can be typed instead.
    comPortList_->setEditable(true);
    comPortList_->setInsertPolicy(QComboBox::NoInsert);
    refreshButton_ = MakeButton(this, "Refresh", kIdRefresh);
    addressBox_ = new QComboBox(this);
    addressBox_->setEditable(true);
    addressBox_->setInsertPolicy(QComboBox::NoInsert);
    addressBox_->setEditText(QString::fromUtf8(kDefaultModemAddress));
    addressBox_->view()->setMinimumWidth(kAddressPopupWidth);
    SetDropHeight(addressBox_, kPortDropHeight);
    Name(addressBox_, kIdAddressBox);
    netFindButton_ = MakeButton(this, "NetFind", kIdNetFind);
    tcpPortBox_ = MakeDigitsBox(this, kDefaultTelnetPort, kIdTcpPort);
    portButton_ = MakeButton(this, "Connect", kIdPortButton);
    channelLabel_ = MakeLabel(this, "Channel", fonts_.normal, "channelLabel", kMiddleLeft);
    channelBox_ = MakeDigitsBox(this, kDefaultChannel, kIdChannel);
    hostmodeLabel_ = MakeLabel(this, "Extended CRC Hostmode (JHOST5)", fonts_.normal,
                               "hostmodeLabel", kMiddleLeft, true);

    statusLine_ = MakeStatusField(this, "MODEM DISCONNECTED", fonts_.bold, "statusLine");
    directionLabel_ = MakeStatusField(this, "", fonts_.bold, "directionLabel");
    stateLabel_ = MakeStatusField(this, "UNKNOWN STATUS", fonts_.bold, "stateLabel");
    modeLabel_ = MakeStatusField(this, "", fonts_.bold, "modeLabel");
}

void Application::CreateActionRows() {
    callLabel_ = MakeLabel(this, "SIRVEX ARQ CALL", fonts_.bold, "callLabel", kMiddleLeft);
    callSignBox_ = new QLineEdit(this);
    callSignBox_->setMaxLength(kCallSignMaxLength);
    Name(callSignBox_, kIdCallSign);

    // The green look: an action may start now (enabled state checked by the button).
    const auto ready = [this] {
        return ComputeConnectionUi(GatherConnectionFlags()).actionButtonsReady;
    };
    callButton_ = new ActionButton(QStringLiteral("CONNECT"), ready, this);
    callButton_->SetBoldFont(fonts_.bold);
    callButton_->setAutoDefault(false);
    Name(callButton_, kIdCallButton);

    fecLabel_ = MakeLabel(this, "FEC", fonts_.bold, "fecLabel", kMiddleLeft);
    fecModeSelector_ = new QComboBox(this);
    fecModeSelector_->addItems(
        {QStringLiteral("S1"), QStringLiteral("S2_S"), QStringLiteral("S2_L")});
    fecModeSelector_->setCurrentIndex(0);
    SetDropHeight(fecModeSelector_, kFecDropHeight);
    Name(fecModeSelector_, kIdFecMode);
    broadcastButton_ = new ActionButton(QStringLiteral("BROADCAST"), ready, this);
    broadcastButton_->SetBoldFont(fonts_.bold);
    broadcastButton_->setAutoDefault(false);
    Name(broadcastButton_, kIdBroadcast);

    commandLabel_ =
        MakeLabel(this, "Modem command", fonts_.bold, "commandLabel", kMiddleLeft, true);
    commandLine_ = new QLineEdit(this);
    commandLine_->setMaxLength(kCommandLineMaxLength);
    commandLine_->setFont(fonts_.mono);
    Name(commandLine_, kIdCommandLine);
    executeButton_ = MakeButton(this, "Execute", kIdExecute);
}

void Application::CreatePanes() {
    receiveLabel_ = MakeLabel(this, "Receive", fonts_.bold, "receiveLabel");
    receiveClear_ = MakeButton(this, "Clear", kIdReceiveClear);
    receivePane_ = new ReceivePane(this);
    receivePane_->setFont(fonts_.mono);
    Name(receivePane_, kIdReceivePane);
    echoLabel_ = MakeLabel(this, "Confirmed transmit (delayed echo)", fonts_.bold, "echoLabel");
    echoClear_ = MakeButton(this, "Clear", kIdEchoClear);
    echoPane_ = new EchoPane(this);
    echoPane_->setFont(fonts_.mono);
    Name(echoPane_, kIdEchoPane);
    transmitLabel_ = MakeLabel(this, "Transmit (Enter sends)", fonts_.bold, "transmitLabel");
    textFileButton_ = MakeButton(this, "Send text file...", kIdTextFile);
    binaryButton_ = MakeButton(this, "Send binary file...", kIdBinaryFile);
    changeoverButton_ = MakeButton(this, "Changeover / Break-in", kIdChangeover);
    disconnectButton_ = MakeButton(this, "Disconnect ARQ", kIdDisconnectArq);
    transmitPane_ = new TransmitPane(this);
    transmitPane_->setFont(fonts_.mono);
    Name(transmitPane_, kIdTransmitPane);
    receiveProgress_ = new TransferProgressBar(this);
    receiveProgress_->setObjectName(QStringLiteral("receiveProgress"));
    sendProgress_ = new TransferProgressBar(this);
    sendProgress_->setObjectName(QStringLiteral("sendProgress"));
}

void Application::Layout(int width, int height) {
    const int logoWidth = QFontMetrics(fonts_.large).horizontalAdvance(logoLabel_->text());
    const LayoutGeometry g =
        ComputeLayout(width, height, logoWidth > 0 ? logoWidth : kFallbackLogoWidth);
    Place(logoLabel_, g.logoLabel);
    Place(productLabel_, g.productLabel);
    Place(headerLabel_, g.headerLabel);
    Place(versionLabel_, g.versionLabel);
    // Under the version, right of the header text, so no other control moves.
    foldersButton_->setGeometry(width - kFoldersButtonRight, kFoldersButtonY, kFoldersButtonWidth,
                                kFoldersButtonHeight);
    Place(comSelector_, g.comSelector);
    Place(networkSelector_, g.networkSelector);
    Place(comPortList_, g.comPortList);
    Place(refreshButton_, g.refreshButton);
    Place(addressBox_, g.addressBox);
    Place(netFindButton_, g.netFindButton);
    Place(tcpPortBox_, g.tcpPortBox);
    Place(portButton_, g.portButton);
    Place(hostmodeLabel_, g.hostmodeLabel);
    Place(channelLabel_, g.channelLabel);
    Place(channelBox_, g.channelBox);
    Place(statusLine_, g.statusLine);
    Place(directionLabel_, g.directionLabel);
    Place(stateLabel_, g.stateLabel);
    Place(modeLabel_, g.modeLabel);
    Place(callLabel_, g.callLabel);
    Place(callSignBox_, g.callSignBox);
    Place(callButton_, g.callButton);
    Place(fecLabel_, g.fecLabel);
    Place(fecModeSelector_, g.fecModeSelector);
    Place(broadcastButton_, g.broadcastButton);
    Place(commandLabel_, g.commandLabel);
    Place(commandLine_, g.commandLine);
    Place(executeButton_, g.executeButton);
    Place(receiveLabel_, g.receiveLabel);
    Place(receiveClear_, g.receiveClear);
    Place(receivePane_, g.receivePane);
    Place(echoLabel_, g.echoLabel);
    Place(echoClear_, g.echoClear);
    Place(echoPane_, g.echoPane);
    Place(transmitLabel_, g.transmitLabel);
    Place(binaryButton_, g.binaryButton);
    Place(textFileButton_, g.textFileButton);
    Place(disconnectButton_, g.disconnectButton);
    Place(changeoverButton_, g.changeoverButton);
    Place(transmitPane_, g.transmitPane);
    Place(receiveProgress_, g.receiveProgress);
    Place(sendProgress_, g.echoProgress);
    update();
}

void Application::ApplyStaticColours() {
    SetTextColour(logoLabel_, kLogoColour);
    SetTextColour(headerLabel_, kGreyTextColour);
    SetTextColour(versionLabel_, kGreyTextColour);
    for (QLabel* label : {productLabel_, channelLabel_, hostmodeLabel_, callLabel_, fecLabel_,
                          commandLabel_, receiveLabel_, echoLabel_, transmitLabel_}) {
        SetTextColour(label, kDarkTextColour);
    }
    SetTextColour(directionLabel_, flags_.sendIndicator ? kSendColour : kDarkTextColour);
    const bool linkActive = flags_.arqActive || flags_.fecSending;
    SetTextColour(stateLabel_, linkActive ? kActiveColour : kDarkTextColour);
    SetTextColour(modeLabel_, linkActive ? kActiveColour : kDarkTextColour);
    // An error stays red during a session too: green would read as success.
    QColor status = kDarkTextColour;
    if (flags_.statusIsError) {
        status = kSendColour;
    } else if (flags_.sessionActive) {
        status = kActiveColour;
    }
    SetTextColour(statusLine_, status);
}

}  // namespace corvina
