#pragma once

#include <QTimer>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/command_line.h"
#include "app/connection_ui.h"
#include "app/event_bridge.h"
#include "app/window_style.h"
#include "cvhost/command_script.h"
#include "link/discovery.h"
#include "link/program_folders.h"
#include "link/serial_ports.h"
#include "link/transport.h"
#include "ops/operator_actions.h"
#include "ops/operator_console.h"
#include "ops/window_flags.h"
#include "session/host_session.h"
#include "session/transcript_writer.h"
#include "transfer/session_with_transfers.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace corvina {

class ActionButton;
class FoldersButton;
class EchoPane;
class ReceivePane;
class TransmitPane;
class TransferProgressBar;
struct StatusOutcome;

// How the window finds its files and reaches the system.
struct ApplicationOptions {
    // Scripts, received files and logs. An empty script folder means the
    // folders ChooseProgramFolders picks for this system.
    ProgramFolders folders;
    // The link named on the command line; it replaces "startup.txt"'s choice
    // and connects at start.
    std::optional<LinkOverride> connect;
    // Shows a folder in the system's file manager; false when that failed.
    // QDesktopServices unless replaced (tests record the request).
    std::function<bool(const QString& folder)> openFolder;
    // The network search, run on the discovery thread; DiscoverModems unless
    // replaced (tests keep their searches off the network).
    std::function<std::vector<DiscoveredModem>(std::uint32_t timeoutMs, std::string& error)>
        discover = DiscoverModems;
    // Asks the operator for a file to send; an empty result means cancelled.
    // The system's open-file dialog unless replaced (tests answer directly).
    std::function<QString(QWidget* owner, const QString& filter)> chooseFile;
};

// The main window: owns every control, the window-thread flags and one host
// session, and reacts to the session's events. Window thread only, except
// where a member says otherwise. Every worker thread it starts (discovery,
// the session's threads) is joined before it goes.
class Application : public QWidget, private OperatorConsole {
    Q_OBJECT

  public:
    explicit Application(ApplicationOptions options = {}, QWidget* parent = nullptr);
    ~Application() override;

    // Status line text and colour state.
    void SetStatus(const QString& text, bool isError);

    // Starts a session from the link controls (the operator's Connect, or the
    // automatic start with `autoStart`). Opens a serial port (and the network
    // fallback) here; the network link's opening and the terminal dialogue run
    // on the session's worker, whose events report the outcome.
    void Connect(bool autoStart);
    // Ends the session; `orderly` sends "shutdown.txt" and "JHOST0" first.
    void Disconnect(bool orderly);
    // Queues the modem-command line.
    void SubmitCommand();

    // The status row and link flags from one status poll.
    void ApplyStatus(std::uint8_t status, std::uint8_t level, std::uint8_t speed);
    void UpdateConnectionUi() override;
    void UpdateTransportControls();
    void Layout(int width, int height);

    void RefreshSerialPorts();
    bool LoadStartupConfiguration(bool applyLink);
    void ReportStartupConfigurationError(const QString& message);
    bool SelectStartupTelnetTransport();
    // The serial device the operator typed (or startup.txt named) instead of
    // picking a listed port; empty when the box shows a listed port.
    std::u16string TypedSerialPort() const;
    // The listed port the box shows, or -1.
    int ListedSerialIndex() const;
    void ShowTypedSerialPort(const std::u16string& path);
    std::unique_ptr<ITransport> BuildTransport(QString& error);

    void StartDiscovery(bool silent);
    void FinishDiscovery();
    void SelectDiscoveredModem();

    const WindowFlags& flags() const { return flags_; }
    const ProgramFolders& folders() const { return options_.folders; }
    HostSession& session() { return *session_; }
    FileTransfers& transfers() { return station_->transfers(); }
    OperatorActions& actions() { return actions_; }
    bool discoveryRunning() const { return discoveryRunning_.load(); }

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // Window creation in order (controls, lists, configuration, timers).
    void CreateControls();
    void CreateHeader();
    void CreateConnectionRows();
    void CreateActionRows();
    void CreatePanes();
    void CreateFoldersButton();
    void ApplyLinkOverride();
    void ConnectSignals();
    void ApplyStaticColours();
    void PostAutoConnectIfConfigured();

    // UI events from the workers.
    void HandleUiEvent(const UiEvent& event);
    void HandleHostOutput(const HostOutput& output);
    void HandleLinkMessage(const std::vector<std::uint8_t>& bytes);
    void HandleHostError(const UiEvent& event);
    void HandleFileSendProgress(std::uint64_t percent, std::int64_t binary);
    void HandleFileSendFinished(std::uint64_t which);
    void HandleBinaryTransfer(const BinaryTransferMessage& message);
    void OnBroadcastTimer();
    void OnDiscoveryTimer();
    void AbortBinaryTransfer();
    void StartBinaryFileSend();
    void StartTextFileSend();
    void ShowStartResult(const FileTransfers::StartResult& result);
    void BeginSendProgress(const QString& path);
    // Puts a failed send's result text in the confirmed-transmit pane, once
    // per send, so the operator sees how the announced file ended.
    void ShowFileSendFailure();
    QString ChooseFile(const QString& filter);

    void ApplyStatusOutcome(const StatusOutcome& outcome);
    void CleanUpArqLink();
    void ResetStatusDisplay();
    void AppendCommandText(const QString& text);
    // Hands the transport to the session, which opens it first with
    // `openFirst` and then leads the terminal dialogue beside the window.

    // The session transcript: on unless the start-up script says log=off.
    void ApplyTranscriptSetting();
    void RecordTranscript(const UiEvent& event);
    void RecordCommand(const QString& command);
    void OpenLogFolder();
    std::filesystem::path LogFolder() const;
    bool StartSession(std::unique_ptr<ITransport> transport, bool isTelnetLink,
                      std::uint8_t channel, bool openFirst);
    void ShowAttemptRunning();
    // The self-healing link: after a failed link the same device or address is
    // reopened with a growing pause until the session runs again or the
    // operator disconnects.
    void HandleLinkLoss(const QString& reason);
    void Reconnect();
    void StopReconnecting();
    bool ComSelected() const;
    // Tells the operator once per device that its adapter holds answers back.
    void ShowLatencyHintOnce(const std::string& devicePath);
    ConnectionFlags GatherConnectionFlags() const;

    // OperatorConsole
    std::u16string PendingTransmitText() override;
    void CommitTransmitLine() override;
    void InsertTransmitMarker(std::u16string_view marker) override;
    std::u16string CallSignText() const override;
    void SetCallSignText(std::u16string_view text) override;
    int FecModeIndex() const override;
    void SetStatus(std::u16string_view text, bool isError) override;
    void StartBroadcastTimer(int timeoutMs) override;

    ApplicationOptions options_;
    WindowFlags flags_;
    WindowFonts fonts_;
    QtEventSink sink_;
    std::unique_ptr<SessionWithTransfers> station_;
    HostSession* session_;  // station_'s session
    OperatorActions actions_;
    std::unique_ptr<TranscriptWriter> transcript_;  // null while log=off

    // Controls; owned by this widget through Qt's parent ownership.
    QLabel* logoLabel_ = nullptr;
    QLabel* productLabel_ = nullptr;
    QLabel* headerLabel_ = nullptr;
    QLabel* versionLabel_ = nullptr;
    FoldersButton* foldersButton_ = nullptr;
    QPushButton* comSelector_ = nullptr;
    QPushButton* networkSelector_ = nullptr;
    QComboBox* comPortList_ = nullptr;
    QPushButton* refreshButton_ = nullptr;
    QComboBox* addressBox_ = nullptr;
    QPushButton* netFindButton_ = nullptr;
    QLineEdit* tcpPortBox_ = nullptr;
    QPushButton* portButton_ = nullptr;
    QLabel* channelLabel_ = nullptr;
    QLineEdit* channelBox_ = nullptr;
    QLabel* hostmodeLabel_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QLabel* directionLabel_ = nullptr;
    QLabel* stateLabel_ = nullptr;
    QLabel* modeLabel_ = nullptr;
    QLabel* callLabel_ = nullptr;
    QLineEdit* callSignBox_ = nullptr;
    ActionButton* callButton_ = nullptr;
    QLabel* fecLabel_ = nullptr;
    QComboBox* fecModeSelector_ = nullptr;
    ActionButton* broadcastButton_ = nullptr;
    QLabel* commandLabel_ = nullptr;
    QLineEdit* commandLine_ = nullptr;
    QPushButton* executeButton_ = nullptr;
    QLabel* receiveLabel_ = nullptr;
    QPushButton* receiveClear_ = nullptr;
    ReceivePane* receivePane_ = nullptr;
    QLabel* echoLabel_ = nullptr;
    QPushButton* echoClear_ = nullptr;
    EchoPane* echoPane_ = nullptr;
    QLabel* transmitLabel_ = nullptr;
    QPushButton* textFileButton_ = nullptr;
    QPushButton* binaryButton_ = nullptr;
    QPushButton* changeoverButton_ = nullptr;
    QPushButton* disconnectButton_ = nullptr;
    TransmitPane* transmitPane_ = nullptr;
    TransferProgressBar* receiveProgress_ = nullptr;
    TransferProgressBar* sendProgress_ = nullptr;
    std::uint64_t sendFileSize_ = 0;  // of the file being sent, for its progress bar

    QTimer discoveryTimer_;  // timer 1
    QTimer broadcastTimer_;  // timer 2
    QTimer reconnectTimer_;

    // The link of the last session, for reconnecting: how to build it again
    // and what to start it with.
    static constexpr std::chrono::milliseconds kFirstReconnectDelay{1000};
    static constexpr std::chrono::milliseconds kLongestReconnectDelay{30000};
    std::function<std::unique_ptr<ITransport>()> relink_;
    SessionSettings sessionSettings_;
    bool hostmodeReached_ = false;  // the session got as far as hostmode
    bool reconnecting_ = false;
    std::chrono::milliseconds reconnectDelay_ = kFirstReconnectDelay;
    bool fileFailureShown_ = false;  // the current send's failure is in the echo pane

    // Link choice.
    std::vector<SerialPortInfo> serialPorts_;
    std::vector<DiscoveredModem> discoveredModems_;
    cvhost::CommandScript startupScript_;
    bool startupUsable_ = true;
    QString lastStartupError_;
    std::set<std::string> latencyHintsShown_;

    // Network search: the thread hands its results over under discoveryMutex_.
    std::atomic<bool> discoveryRunning_{false};
    bool discoverySilent_ = false;
    std::thread discoveryThread_;
    std::mutex discoveryMutex_;
    std::vector<DiscoveredModem> discoveryResults_;
    std::string discoveryError_;
};

}  // namespace corvina
