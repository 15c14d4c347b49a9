#include "app/application.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include "app/action_button.h"
#include "app/app_icon.h"
#include "app/control_ids.h"
#include "app/receive_pane.h"
#include "app/transmit_pane.h"
#include "link/executable_path.h"
#include "ops/broadcast_timing.h"

namespace corvina {
namespace {

ApplicationOptions WithFolders(ApplicationOptions options) {
    if (options.folders.scriptFolder.empty()) {
        options.folders = ChooseProgramFolders({}, SystemFolderEnvironment());
    }
    return options;
}

}  // namespace

Application::Application(ApplicationOptions options, QWidget* parent)
    : QWidget(parent),
      options_(WithFolders(std::move(options))),
      fonts_(MakeWindowFonts()),
      sink_(this),
      station_(std::make_unique<SessionWithTransfers>(sink_, options_.folders.scriptFolder,
                                                      options_.folders.receiveFolder)),
      session_(&station_->session()),
      actions_(*session_, flags_, *this) {
    setWindowTitle(QString::fromUtf8(kWindowTitle));
    setWindowIcon(MakeApplicationIcon());
    setMinimumSize(kMinimumWidth, kMinimumHeight);
    resize(kStartWidth, kStartHeight);
    setFont(fonts_.normal);

    CreateControls();
    CreateFoldersButton();
    ConnectSignals();
    ApplyLinkOverride();
    receivePane_->SetOpenLogFolder([this] { OpenLogFolder(); });

    RefreshSerialPorts();
    LoadStartupConfiguration(true);
    UpdateTransportControls();
    UpdateConnectionUi();

    discoveryTimer_.setInterval(kDiscoveryIntervalMs);
    connect(&discoveryTimer_, &QTimer::timeout, this, &Application::OnDiscoveryTimer);
    discoveryTimer_.start();
    reconnectTimer_.setSingleShot(true);
    connect(&reconnectTimer_, &QTimer::timeout, this, &Application::Reconnect);
    broadcastTimer_.setSingleShot(true);
    connect(&broadcastTimer_, &QTimer::timeout, this, &Application::OnBroadcastTimer);

    PostAutoConnectIfConfigured();
    qApp->installEventFilter(this);
}

Application::~Application() {
    qApp->removeEventFilter(this);
    StopReconnecting();
    Disconnect(false);
    discoveryTimer_.stop();
    broadcastTimer_.stop();
    if (discoveryThread_.joinable()) {
        discoveryThread_.join();
    }
}

void Application::PostAutoConnectIfConfigured() {
    if (!startupUsable_ || !startupScript_.modem.autostart) {
        return;
    }
    const bool comReady = ComSelected() && !comPortList_->currentText().trimmed().isEmpty();
    const bool networkReady = !ComSelected() && !addressBox_->currentText().isEmpty();
    if (comReady || networkReady) {
        sink_.Post(UiEvent::Plain(UiEventKind::AutoConnectEvent));
    }
}

bool Application::ComSelected() const {
    return comSelector_->isChecked();
}

void Application::SetStatus(const QString& text, bool isError) {
    flags_.statusIsError = isError;
    statusLine_->setText(text);
    ApplyStaticColours();
}

void Application::SetStatus(std::u16string_view text, bool isError) {
    SetStatus(QString::fromStdU16String(std::u16string(text)), isError);
}

bool Application::event(QEvent* event) {
    if (event->type() == UiQEvent::EventType()) {
        HandleUiEvent(static_cast<UiQEvent*>(event)->event());
        return true;
    }
    return QWidget::event(event);
}

bool Application::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return false;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != this) {
        return false;  // dialogs and pop-ups keep their own keys
    }
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (widget == commandLine_) {
            SubmitCommand();
            return true;
        }
        if (widget == transmitPane_) {
            actions_.SubmitTransmitText();
            return true;
        }
        return false;
    }
    if (key == Qt::Key_Escape && commandLine_->isEnabled()) {
        commandLine_->setFocus(Qt::ShortcutFocusReason);
        commandLine_->selectAll();
        return true;
    }
    return false;
}

void Application::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Layout(width(), height());
}

void Application::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackgroundColour);
    painter.fillRect(QRect(0, 0, width(), kHeaderBandHeight), kHeaderColour);
    painter.fillRect(QRect(0, kHeaderLineY, width(), kHeaderLineWidth), kHeaderLineColour);
}

void Application::closeEvent(QCloseEvent* event) {
    StopReconnecting();
    Disconnect(true);
    event->accept();
}

void Application::OnDiscoveryTimer() {
    if (networkSelector_->isChecked() && !flags_.sessionActive) {
        StartDiscovery(true);
    }
}

void Application::OnBroadcastTimer() {
    broadcastTimer_.stop();
    if (flags_.fecStarting && !flags_.fecActive) {
        flags_.fecStarting = false;
        SetStatus(QStringLiteral("HOSTMODE ACTIVE"), false);
    }
    if (flags_.fecEnding) {
        // The controls must not stay locked behind a confirmation that never came.
        flags_.fecEnding = false;
        SetStatus(QString::fromUtf16(kBroadcastEndUnconfirmed.data(),
                                     static_cast<qsizetype>(kBroadcastEndUnconfirmed.size())),
                  true);
    }
    UpdateConnectionUi();
}

// ---- OperatorConsole -----------------------------------------------------

std::u16string Application::PendingTransmitText() {
    return transmitPane_->PendingText().toStdU16String();
}

void Application::CommitTransmitLine() {
    transmitPane_->CommitLine();
}

void Application::InsertTransmitMarker(std::u16string_view marker) {
    transmitPane_->InsertControlMarker(QString::fromStdU16String(std::u16string(marker)));
}

std::u16string Application::CallSignText() const {
    return callSignBox_->text().toStdU16String();
}

void Application::SetCallSignText(std::u16string_view text) {
    callSignBox_->setText(QString::fromStdU16String(std::u16string(text)));
}

int Application::FecModeIndex() const {
    return fecModeSelector_->currentIndex();
}

void Application::StartBroadcastTimer(int timeoutMs) {
    broadcastTimer_.start(timeoutMs);
}

}  // namespace corvina
