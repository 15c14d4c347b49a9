#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QMenu>
#include <QTextBlock>
#include <QToolButton>

#include "app/transfer_progress_bar.h"
#include "window_harness.h"

namespace corvina {
namespace {

using namespace testing_support;
using Bytes = std::vector<std::uint8_t>;

Bytes B(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// A window without a modem: events are posted the way the workers post them.
class WindowEventTest : public testing::Test {
  protected:
    WindowEventTest() {
        TestApplication();
        window = std::make_unique<Application>(discovery.Options(folder.path()));
        window->show();
        Deliver();
    }

    void Post(UiEvent event) { window->session().Post(std::move(event)); }
    void Deliver() { QApplication::sendPostedEvents(); }
    void Status(std::uint8_t status, std::uint8_t level = 0, std::uint8_t speed = 0,
                HostOutputKind kind = HostOutputKind::StatusBytes) {
        Post(UiEvent::Output(kind, {status, level, speed}));
        Deliver();
    }

    // Runs one search from the NetFind button (or the timer with `silent`).
    void Search(bool silent = false) {
        if (silent) {
            window->StartDiscovery(true);
        } else {
            QTest::mouseClick(Control<QPushButton>(*window, kIdNetFind), Qt::LeftButton);
        }
        ASSERT_TRUE(WaitUntil([&] { return !window->discoveryRunning(); }));
    }

    ScratchFolder folder;
    FakeDiscovery discovery;
    std::unique_ptr<Application> window;
};

TEST_F(WindowEventTest, StartsWithTitleSizesAndInitialTexts) {
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Velk Corvina 1.00.11"));
    EXPECT_EQ(window->minimumSize(), QSize(820, 798));
    EXPECT_EQ(window->size(), QSize(940, 878));
    EXPECT_EQ(StatusText(*window), QStringLiteral("MODEM DISCONNECTED"));
    EXPECT_EQ(Named<QLabel>(*window, "stateLabel")->text(), QStringLiteral("UNKNOWN STATUS"));
    EXPECT_TRUE(Control<QPushButton>(*window, kIdComSelector)->isChecked());
    EXPECT_EQ(Control<QLineEdit>(*window, kIdTcpPort)->text(), QStringLiteral("3000"));
    EXPECT_EQ(Control<QLineEdit>(*window, kIdChannel)->text(), QStringLiteral("4"));
    EXPECT_EQ(Control<QComboBox>(*window, kIdFecMode)->count(), 3);
    EXPECT_FALSE(Control<QLineEdit>(*window, kIdCommandLine)->isEnabled());
    EXPECT_EQ(Control<QPushButton>(*window, kIdPortButton)->text(), QStringLiteral("Connect"));
    EXPECT_FALSE(window->windowIcon().isNull());
}

TEST_F(WindowEventTest, LabelsAlignAndListsDropAsLaidOut) {
    const Qt::Alignment top = Qt::AlignLeft | Qt::AlignTop;
    const Qt::Alignment middle = Qt::AlignLeft | Qt::AlignVCenter;
    // Only the labels beside a box are centred on it; the rest sit at the top.
    const std::pair<const char*, Qt::Alignment> labels[] = {
        {"logoLabel", top},       {"versionLabel", Qt::AlignRight | Qt::AlignTop},
        {"transmitLabel", top},   {"channelLabel", middle},
        {"commandLabel", middle},
    };
    for (const auto& [name, alignment] : labels) {
        EXPECT_EQ(Named<QLabel>(*window, name)->alignment(), alignment) << name;
    }
    const std::pair<int, int> lists[] = {
        {kIdComPortList, 240}, {kIdAddressBox, 240}, {kIdFecMode, 180}};
    for (const auto& [id, height] : lists) {
        auto* box = Control<QComboBox>(*window, id);
        for (int i = 0; i < 40; ++i) {
            box->addItem(QString::number(i));
        }
        box->showPopup();
        EXPECT_EQ(box->view()->window()->height(), height) << id;
        box->hidePopup();
    }
}

TEST_F(WindowEventTest, LayoutPlacesPanesForTheClientHeight) {
    window->resize(940, 1000);
    Deliver();
    EXPECT_EQ(Control<EchoPane>(*window, kIdEchoPane)->geometry(), QRect(22, 609, 896, 145));
    EXPECT_EQ(Control<TransmitPane>(*window, kIdTransmitPane)->geometry(),
              QRect(22, 788, 896, 190));
    window->resize(820, 798);
    Deliver();
    EXPECT_EQ(Control<QLineEdit>(*window, kIdCallSign)->width(), 222);
}

TEST_F(WindowEventTest, NetworkSelectorSwapsTheLinkControls) {
    QTest::mouseClick(Control<QPushButton>(*window, kIdNetworkSelector), Qt::LeftButton);
    EXPECT_FALSE(Control<QComboBox>(*window, kIdComPortList)->isVisible());
    EXPECT_FALSE(Control<QPushButton>(*window, kIdRefresh)->isVisible());
    EXPECT_TRUE(Control<QComboBox>(*window, kIdAddressBox)->isVisible());
    EXPECT_TRUE(Control<QPushButton>(*window, kIdNetFind)->isVisible());
    EXPECT_TRUE(Control<QLineEdit>(*window, kIdTcpPort)->isVisible());
    QTest::mouseClick(Control<QPushButton>(*window, kIdComSelector), Qt::LeftButton);
    EXPECT_TRUE(Control<QComboBox>(*window, kIdComPortList)->isVisible());
    EXPECT_FALSE(Control<QComboBox>(*window, kIdAddressBox)->isVisible());
}

TEST_F(WindowEventTest, NetFindListsModemsAndKeepsTheChosenOneAcrossRescans) {
    discovery.Answer({{"10.0.0.9", 3009, 0, 0, "NINE"},
                      {"10.0.0.2", 3002, 0, 0, ""},
                      {"10.0.0.5", 3005, 0, 0, "FIVE"}});
    QTest::mouseClick(Control<QPushButton>(*window, kIdNetworkSelector), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return !window->discoveryRunning(); }));
    auto* box = Control<QComboBox>(*window, kIdAddressBox);
    auto* port = Control<QLineEdit>(*window, kIdTcpPort);
    EXPECT_EQ(StatusText(*window), QStringLiteral("3 MODEMS FOUND"));
    ASSERT_EQ(box->count(), 3);
    EXPECT_EQ(box->currentText(), QStringLiteral("Velk modem - 10.0.0.2:3002"));
    EXPECT_EQ(port->text(), QStringLiteral("3002"));

    // The operator picks the second; a re-scan in another order keeps it.
    box->setCurrentIndex(1);
    QMetaObject::invokeMethod(box, "activated", Q_ARG(int, 1));
    EXPECT_EQ(port->text(), QStringLiteral("3005"));
    discovery.Answer({{"10.0.0.5", 3005, 0, 0, "FIVE"},
                      {"10.0.0.1", 3001, 0, 0, "ONE"},
                      {"10.0.0.9", 3009, 0, 0, "NINE"}});
    port->setText(QStringLiteral("1"));
    Search();
    EXPECT_EQ(box->currentText(), QStringLiteral("FIVE - 10.0.0.5:3005"));
    EXPECT_EQ(port->text(), QStringLiteral("3005"));
}

TEST_F(WindowEventTest, SilentRescanKeepsTypedAddressAndEmptySearchKeepsList) {
    discovery.Answer({{"10.0.0.5", 3005, 0, 0, "FIVE"}});
    QTest::mouseClick(Control<QPushButton>(*window, kIdNetworkSelector), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return !window->discoveryRunning(); }));
    EXPECT_EQ(StatusText(*window), QStringLiteral("1 MODEM FOUND"));

    auto* box = Control<QComboBox>(*window, kIdAddressBox);
    box->setEditText(QStringLiteral("modem.example"));
    Control<QLineEdit>(*window, kIdTcpPort)->setText(QStringLiteral("4000"));
    Search(true);
    EXPECT_EQ(box->currentText(), QStringLiteral("modem.example"));
    EXPECT_EQ(Control<QLineEdit>(*window, kIdTcpPort)->text(), QStringLiteral("4000"));
    EXPECT_EQ(StatusText(*window), QStringLiteral("1 MODEM FOUND"))
        << "silent searches say nothing";

    discovery.Answer({});
    Search();
    EXPECT_EQ(StatusText(*window), QStringLiteral("NO NETWORK MODEM FOUND"));
    EXPECT_EQ(Named<QLabel>(*window, "statusLine")->palette().color(QPalette::WindowText),
              QColor(184, 32, 38));
    EXPECT_EQ(box->count(), 1);

    discovery.Answer({}, "Cannot bind discovery socket");
    Search();
    EXPECT_EQ(StatusText(*window), QStringLiteral("Cannot bind discovery socket"));
}

TEST_F(WindowEventTest, LinkMessagesStandOnTheirOwnLinesInBold) {
    Post(UiEvent::Output(HostOutputKind::ReceivedText, B("partial")));
    Post(UiEvent::Output(HostOutputKind::LinkMessage, B("*** CONNECTED to PEER1")));
    Post(UiEvent::Output(HostOutputKind::LinkMessage, B("*** DISCONNECTED")));
    Post(UiEvent::Output(HostOutputKind::LinkMessage, B("\r\nalready broken")));
    Deliver();
    auto* pane = Control<ReceivePane>(*window, kIdReceivePane);
    EXPECT_EQ(pane->toPlainText(),
              QStringLiteral("partial\n*** CONNECTED to PEER1\n*** DISCONNECTED\nalready broken"));
    const QTextBlock second = pane->document()->findBlockByNumber(1);
    EXPECT_EQ(second.begin().fragment().charFormat().fontWeight(), QFont::Bold);
    const QTextBlock first = pane->document()->findBlockByNumber(0);
    EXPECT_NE(first.begin().fragment().charFormat().fontWeight(), QFont::Bold);
}

TEST_F(WindowEventTest, CommandTextGetsItsOwnLineAndEchoGoesToEchoPane) {
    Post(UiEvent::Output(HostOutputKind::ReceivedText, B("modem says")));
    Post(UiEvent::Output(HostOutputKind::CommandText, B("[startup.txt Term] > MYCALL AB1CD")));
    Post(UiEvent::Output(HostOutputKind::EchoText, B("on air \x80")));
    Post(UiEvent::Output(HostOutputKind::CommandText, B("")));
    Deliver();
    EXPECT_EQ(ReceiveText(*window),
              QStringLiteral("modem says\n[startup.txt Term] > MYCALL AB1CD\n"));
    EXPECT_EQ(Control<EchoPane>(*window, kIdEchoPane)->toPlainText(),
              QString::fromUtf8("on air \u20ac"));
}

TEST_F(WindowEventTest, StatusBytesDecodeIntoTheStatusRow) {
    Status(0x2B, 3, 1);
    EXPECT_EQ(Named<QLabel>(*window, "directionLabel")->text(), QStringLiteral("SEND"));
    EXPECT_EQ(Named<QLabel>(*window, "directionLabel")->palette().color(QPalette::WindowText),
              QColor(184, 32, 38));
    EXPECT_EQ(Named<QLabel>(*window, "stateLabel")->text(), QStringLiteral("IDLE"));
    EXPECT_EQ(Named<QLabel>(*window, "modeLabel")->text(), QStringLiteral("S3  SL2"));
    EXPECT_EQ(Named<QLabel>(*window, "stateLabel")->palette().color(QPalette::WindowText),
              QColor(18, 124, 62));
    EXPECT_TRUE(window->flags().arqActive);
    for (const char* field : {"directionLabel", "stateLabel"}) {
        const QImage look = Named<QLabel>(*window, field)->grab().toImage();
        EXPECT_EQ(look.pixelColor(look.width() / 2, 0), QColor(Qt::black)) << field << " border";
    }

    // Any kind above the command text carries status bytes; short ones are dropped.
    Status(0x70, 0, 0, static_cast<HostOutputKind>(7));
    EXPECT_EQ(Named<QLabel>(*window, "modeLabel")->text(), QStringLiteral("CHANNEL BUSY"));
    Post(UiEvent::Output(HostOutputKind::StatusBytes, {0x60, 0}));
    Deliver();
    EXPECT_EQ(Named<QLabel>(*window, "modeLabel")->text(), QStringLiteral("CHANNEL BUSY"));
}

TEST_F(WindowEventTest, ArqCleanUpRunsOnceOverTwoPolls) {
    window->session().fileSendActive = true;  // a text file was being sent
    Status(0x23, 3, 1);
    ASSERT_TRUE(window->flags().arqActive);
    Status(0x07);
    EXPECT_FALSE(window->flags().arqActive);
    EXPECT_EQ(StatusText(*window), QStringLiteral("HOSTMODE ACTIVE"));
    const QString ended = QStringLiteral("Text file transfer ended: ARQ disconnected\n");
    EXPECT_EQ(Control<EchoPane>(*window, kIdEchoPane)->toPlainText(), ended);

    // Something queued after the link ended survives the next poll without a link.
    window->SetStatus(QStringLiteral("operator note"), false);
    window->session().WithQueues([](HostQueues& q) {
        q.outboundQueue.push_back({{'x'}, 0, OutboundKind::TransferControl, 0});
    });
    Status(0x07);
    EXPECT_EQ(StatusText(*window), QStringLiteral("operator note"));
    EXPECT_EQ(Control<EchoPane>(*window, kIdEchoPane)->toPlainText(), ended);
    EXPECT_EQ(window->session().WithQueues([](HostQueues& q) { return q.outboundQueue.size(); }),
              1U);
}

TEST_F(WindowEventTest, HostErrorShowsTextInRedAndKeepsIt) {
    Post(UiEvent::Error("Connection closed by modem"));
    Deliver();
    EXPECT_EQ(StatusText(*window), QStringLiteral("Connection closed by modem"));
    EXPECT_EQ(Named<QLabel>(*window, "statusLine")->palette().color(QPalette::WindowText),
              QColor(184, 32, 38));
}

TEST_F(WindowEventTest, TransferVerdictsUseResultWordsAndHexCrc) {
    BinaryTransferMessage started;
    started.kind = BinaryTransferKind::ReceiveStarted;
    started.name = "photo.jpg";
    started.size = 1234;
    started.expectedCrc = 0xABCD;
    Post(UiEvent::Transfer(started));
    BinaryTransferMessage finished = started;
    finished.kind = BinaryTransferKind::ReceiveFinished;
    finished.actualCrc = 0xDEADBEEF;
    finished.result = 7;
    Post(UiEvent::Transfer(finished));
    // Stored under its own name, then under another one because it was taken.
    finished.result = 0;
    finished.path = (folder.path() / "photo.jpg").string();
    Post(UiEvent::Transfer(finished));
    finished.path = (folder.path() / "photo (1).jpg").string();
    Post(UiEvent::Transfer(finished));
    BinaryTransferMessage sent;
    sent.kind = static_cast<BinaryTransferKind>(9);  // above 3: a finished send
    sent.name = "100%1.bin";
    sent.actualCrc = 1;
    Post(UiEvent::Transfer(sent));
    Deliver();
    EXPECT_EQ(ReceiveText(*window),
              QStringLiteral("\n[Receiving binary file: photo.jpg, 1234 Bytes, CRC32 0000ABCD]\n"
                             "[Binary file received: photo.jpg, ERROR, CRC32 DEADBEEF]\n"
                             "[Binary file received: photo.jpg, CRC OK, CRC32 DEADBEEF]\n"
                             "[Binary file received: photo.jpg, CRC OK, CRC32 DEADBEEF, "
                             "stored as photo (1).jpg]\n"));
    EXPECT_EQ(Control<EchoPane>(*window, kIdEchoPane)->toPlainText(),
              QStringLiteral("[Binary file sent: 100%1.bin, CRC OK, CRC32 00000001]\n"));
}

// Each pane's bar shows while its transfer runs and goes with the verdict;
// the specified percent texts stay in the status line.
TEST_F(WindowEventTest, ProgressBarsFollowTransfersBesideThePaneHeaders) {
    auto* receiving = Named<TransferProgressBar>(*window, "receiveProgress");
    auto* sending = Named<TransferProgressBar>(*window, "sendProgress");
    const QRect receiveLabel = Named<QLabel>(*window, "receiveLabel")->geometry();
    const QRect receiveClear = Control<QPushButton>(*window, kIdReceiveClear)->geometry();
    EXPECT_GT(receiving->geometry().left(), receiveLabel.right());
    EXPECT_LT(receiving->geometry().right(), receiveClear.left());
    EXPECT_FALSE(
        sending->geometry().intersects(Control<QPushButton>(*window, kIdEchoClear)->geometry()));
    EXPECT_FALSE(receiving->isVisible());
    EXPECT_FALSE(sending->isVisible());

    window->session().incomingTransferActive = true;
    BinaryTransferMessage message;
    message.kind = BinaryTransferKind::ReceiveStarted;
    message.name = "log.txt";
    message.size = 2048;
    Post(UiEvent::Transfer(message));
    message.kind = BinaryTransferKind::ReceiveProgress;
    message.percent = 25;
    Post(UiEvent::Transfer(message));
    Deliver();
    EXPECT_TRUE(receiving->isVisible());
    EXPECT_EQ(receiving->value(), 25);
    EXPECT_TRUE(receiving->text().startsWith(QStringLiteral("25%  \u00B7  512 B of 2.0 KiB")))
        << receiving->text().toStdString();
    EXPECT_EQ(StatusText(*window), QStringLiteral("Receiving binary file: 25%"));
    message.kind = BinaryTransferKind::ReceiveFinished;
    Post(UiEvent::Transfer(message));
    Deliver();
    EXPECT_FALSE(receiving->isVisible());

    // A refused start never moves, so it gets no bar.
    message.kind = BinaryTransferKind::ReceiveStarted;
    message.result = 4;
    Post(UiEvent::Transfer(message));
    Deliver();
    EXPECT_FALSE(receiving->isVisible());

    window->session().fileSendActive = true;
    Post(UiEvent::Plain(UiEventKind::FileSendProgressEvent, 60, 1));
    Deliver();
    EXPECT_TRUE(sending->isVisible());
    EXPECT_EQ(sending->value(), 60);
    BinaryTransferMessage verdict;
    verdict.kind = BinaryTransferKind::SendFinished;
    Post(UiEvent::Transfer(verdict));
    Deliver();
    EXPECT_FALSE(sending->isVisible());

    // A send ended by the link takes its bar along at the next refresh.
    window->session().fileSendActive = true;
    Post(UiEvent::Plain(UiEventKind::FileSendProgressEvent, 10, 0));
    Deliver();
    EXPECT_TRUE(sending->isVisible());
    window->session().fileSendActive = false;
    window->UpdateConnectionUi();
    EXPECT_FALSE(sending->isVisible());
}

TEST_F(WindowEventTest, ProgressIsNotShownWhileAbortPending) {
    window->session().fileSendActive = true;
    Post(UiEvent::Plain(UiEventKind::FileSendProgressEvent, 42, 1));
    Deliver();
    EXPECT_EQ(StatusText(*window), QStringLiteral("Sending binary file: 42%"));
    window->session().binaryAbortRequested = true;
    Post(UiEvent::Plain(UiEventKind::FileSendProgressEvent, 50, 1));
    Deliver();
    EXPECT_EQ(StatusText(*window), QStringLiteral("Sending binary file: 42%"));
}

TEST_F(WindowEventTest, StartupErrorIsReportedOnceWithPrefix) {
    folder.Write("startup.txt", "[Modem]\ncomport=COM250\n");
    EXPECT_FALSE(window->LoadStartupConfiguration(true));
    EXPECT_FALSE(window->LoadStartupConfiguration(true));
    const QString expected = QStringLiteral(
        "[startup.txt init] startup.txt: configured COM250 is not available and no telnet "
        "fallback is set.\n");
    EXPECT_EQ(ReceiveText(*window), expected);
    EXPECT_EQ(StatusText(*window), QStringLiteral("MODEM DISCONNECTED"));

    // After a good load the same error is news again.
    folder.Write("startup.txt", "");
    EXPECT_TRUE(window->LoadStartupConfiguration(true));
    folder.Write("startup.txt", "[Modem]\ncomport=COM250\n");
    EXPECT_FALSE(window->LoadStartupConfiguration(true));
    EXPECT_EQ(ReceiveText(*window), expected + expected);
}

TEST_F(WindowEventTest, InstalledWindowOpensItsFoldersAndTakesTheCommandLineLink) {
    folder.Write("startup.txt", "[Modem]\ncomport=COM250\n");
    ApplicationOptions options = discovery.Options(folder.path());
    options.folders.receiveFolder = folder.path() / "share" / "received";
    options.folders.portable = false;
    options.connect = LinkOverride{false, "127.0.0.9", 3456, {}};
    std::vector<QString> opened;
    bool openWorks = true;
    options.openFolder = [&](const QString& path) {
        opened.push_back(path);
        return openWorks;
    };
    Application installed(std::move(options));
    installed.show();

    // The command line's link wins over the file's absent COM port.
    EXPECT_FALSE(Control<QPushButton>(installed, kIdComSelector)->isChecked());
    EXPECT_EQ(Control<QComboBox>(installed, kIdAddressBox)->currentText(),
              QStringLiteral("127.0.0.9"));
    EXPECT_EQ(Control<QLineEdit>(installed, kIdTcpPort)->text(), QStringLiteral("3456"));
    EXPECT_EQ(ReceiveText(installed), QString());

    auto* button = Named<QToolButton>(installed, "foldersButton");
    EXPECT_EQ(button->text(), QStringLiteral("Installed"));
    EXPECT_EQ(Named<QToolButton>(*window, "foldersButton")->text(), QStringLiteral("Portable"));
    EXPECT_FALSE(
        button->geometry().intersects(Named<QLabel>(installed, "versionLabel")->geometry()));
    EXPECT_FALSE(
        button->geometry().intersects(Named<QLabel>(installed, "headerLabel")->geometry()));

    const QList<QAction*> actions = button->menu()->actions();
    ASSERT_EQ(actions.size(), 3);
    actions[0]->trigger();
    EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "share" / "received"));
    actions[1]->trigger();
    ASSERT_EQ(opened.size(), 2U);
    EXPECT_TRUE(opened[0].endsWith(QStringLiteral("share/received")));
    EXPECT_EQ(opened[1].toStdString(), folder.path().string());

    openWorks = false;
    actions[1]->trigger();
    EXPECT_TRUE(StatusText(installed).startsWith(QStringLiteral("Could not open ")));
    EXPECT_TRUE(installed.flags().statusIsError);
}

TEST_F(WindowEventTest, ConnectRefusesBadChannelAndBadAddress) {
    QTest::mouseClick(Control<QPushButton>(*window, kIdNetworkSelector), Qt::LeftButton);
    auto* channel = Control<QLineEdit>(*window, kIdChannel);
    channel->setText(QStringLiteral("32"));
    QTest::mouseClick(Control<QPushButton>(*window, kIdPortButton), Qt::LeftButton);
    EXPECT_EQ(StatusText(*window), QStringLiteral("Enter a Hostmode channel from 1 to 31."));

    channel->setText(QStringLiteral("31"));
    Control<QComboBox>(*window, kIdAddressBox)->setEditText(QString());
    QTest::mouseClick(Control<QPushButton>(*window, kIdPortButton), Qt::LeftButton);
    EXPECT_EQ(StatusText(*window), QStringLiteral("Enter a valid modem address and Telnet port."));
    EXPECT_FALSE(window->flags().sessionActive);
}

TEST_F(WindowEventTest, ReturnInCallSignBoxDoesNothingSpecial) {
    auto* call = Control<QLineEdit>(*window, kIdCallSign);
    call->setEnabled(true);
    call->setFocus();
    QTest::keyClick(call, Qt::Key_Return);
    EXPECT_EQ(StatusText(*window), QStringLiteral("MODEM DISCONNECTED"));
    // Escape does not reach a disabled command line.
    QTest::keyClick(call, Qt::Key_Escape);
    EXPECT_FALSE(Control<QLineEdit>(*window, kIdCommandLine)->hasFocus());
}

}  // namespace
}  // namespace corvina
