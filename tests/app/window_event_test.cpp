#include <QMenu>
#include <QTextBlock>
#include <QToolButton>

#include "app/transfer_progress_bar.h"
#include "window_harness.h"

namespace corvina {
namespace {

using namespace testing_support;
using Kind = BinaryTransferKind;

BinaryTransferMessage Message(Kind kind, std::string name, std::uint64_t size = 0,
                              std::uint32_t percent = 0, std::uint8_t result = 0) {
    BinaryTransferMessage message;
    message.kind = kind;
    message.name = std::move(name);
    message.size = size;
    message.percent = percent;
    message.result = result;
    return message;
}

// A window without a modem: events are posted the way the workers post them.
class WindowEventTest : public ::testing::Test {
  protected:
    WindowEventTest() : window(std::make_unique<Application>(discovery.Options(folder.path()))) {
        window->show();
        QApplication::sendPostedEvents();
    }

    void Post(UiEvent event) {
        window->session().Post(std::move(event));
        QApplication::sendPostedEvents();
    }
    void Output(HostOutputKind kind, std::string_view text) {
        Post(UiEvent::Output(kind, {text.begin(), text.end()}));
    }
    void Status(std::uint8_t status, std::uint8_t level = 0, std::uint8_t speed = 0) {
        Post(UiEvent::Output(HostOutputKind::StatusBytes, {status, level, speed}));
    }
    void Transfer(BinaryTransferMessage message) { Post(UiEvent::Transfer(std::move(message))); }
    void SendProgress(int percent) {
        Post(UiEvent::Plain(UiEventKind::FileSendProgressEvent, percent, 1));
    }

    // Runs one search from the NetFind button (or the timer's silent one).
    void Search(bool silent = false) {
        silent ? window->StartDiscovery(true) : Click(*window, kIdNetFind);
        ASSERT_TRUE(WaitUntil([&] { return !window->discoveryRunning(); }));
    }

    Folder folder;
    FakeDiscovery discovery;
    std::unique_ptr<Application> window;
};

TEST_F(WindowEventTest, OpensSwapsToTheNetworkSideSearchesKeepingTheChoiceAndRefusesBadFields) {
    EXPECT_EQ(window->windowTitle(), "Velk Corvina 1.00.11");
    EXPECT_EQ(Control<QLineEdit>(*window, kIdTcpPort)->text(), "3000");
    EXPECT_EQ(Control<QLineEdit>(*window, kIdChannel)->text(), "4");
    discovery.Answer({{"10.0.0.9", 3009, 0, 0, "NINE"},
                      {"10.0.0.2", 3002, 0, 0, ""},
                      {"10.0.0.5", 3005, 0, 0, "FIVE"}});
    for (const bool network : {false, true}) {  // the network side searches by itself
        SCOPED_TRACE(network);
        Click(*window, network ? kIdNetworkSelector : kIdComSelector);
        for (const int id : {kIdComPortList, kIdRefresh, kIdAddressBox, kIdNetFind, kIdTcpPort}) {
            const bool networkControl = id != kIdComPortList && id != kIdRefresh;
            EXPECT_EQ(Control<QWidget>(*window, id)->isVisible(), networkControl == network) << id;
        }
    }
    ASSERT_TRUE(WaitUntil([&] { return !window->discoveryRunning(); }));
    auto* box = Control<QComboBox>(*window, kIdAddressBox);
    auto* port = Control<QLineEdit>(*window, kIdTcpPort);
    EXPECT_EQ(StatusText(*window), "3 MODEMS FOUND");
    ASSERT_EQ(box->count(), 3);
    EXPECT_EQ(box->currentText(), "Velk modem - 10.0.0.2:3002");
    EXPECT_EQ(port->text(), "3002");

    // The operator picks the second; a re-scan in another order keeps it.
    box->setCurrentIndex(1);
    QMetaObject::invokeMethod(box, "activated", Q_ARG(int, 1));
    EXPECT_EQ(port->text(), "3005");
    discovery.Answer({{"10.0.0.1", 3001, 0, 0, "ONE"}, {"10.0.0.5", 3005, 0, 0, "FIVE"}});
    port->setText("1");
    Search();
    EXPECT_EQ(box->currentText(), "FIVE - 10.0.0.5:3005");
    EXPECT_EQ(port->text(), "3005");

    // A silent re-scan keeps a typed address and says nothing.
    box->setEditText("modem.example");
    port->setText("4000");
    discovery.Answer({{"10.0.0.5", 3005, 0, 0, "FIVE"}});
    Search(true);
    EXPECT_EQ(box->currentText(), "modem.example");
    EXPECT_EQ(port->text(), "4000");
    EXPECT_EQ(StatusText(*window), "2 MODEMS FOUND");

    // A search that finds nothing keeps the list.
    discovery.Answer({});
    Search();
    EXPECT_EQ(StatusText(*window), "NO NETWORK MODEM FOUND");
    EXPECT_EQ(Colour(*window), kErrorRed);
    EXPECT_EQ(box->count(), 1);
    discovery.Answer({}, "Cannot bind discovery socket");
    Search();
    EXPECT_EQ(StatusText(*window), "Cannot bind discovery socket");

    // A channel outside 1..31 (checked first), no address or a port outside
    // 1..65535 starts nothing.
    const QString badChannel = "Enter a Hostmode channel from 1 to 31.";
    const QString badAddress = "Enter a valid modem address and Telnet port.";
    const struct {
        const char *channel, *address, *port;
        const QString& status;
    } cases[] = {
        {"0", "", "1", badChannel},      {"32", "", "1", badChannel},
        {"4 ", "", "1", badChannel},     {"004", "", "1", badAddress},
        {"31", "h", "0", badAddress},    {"1", "h", "65536", badAddress},
        {"1", "h", "3000x", badAddress}, {"1", "h", "99999999999", badAddress},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.channel + std::string("/") + c.address + "/" + c.port);
        Control<QLineEdit>(*window, kIdChannel)->setText(c.channel);
        Control<QComboBox>(*window, kIdAddressBox)->setEditText(c.address);
        Control<QLineEdit>(*window, kIdTcpPort)->setText(c.port);
        Click(*window, kIdPortButton);
        EXPECT_EQ(StatusText(*window), c.status);
        EXPECT_FALSE(window->flags().sessionActive);
    }
    // Return in the call sign box starts nothing; Escape skips a disabled command line.
    auto* call = Control<QLineEdit>(*window, kIdCallSign);
    call->setEnabled(true);
    call->setFocus();
    QTest::keyClick(call, Qt::Key_Return);
    QTest::keyClick(call, Qt::Key_Escape);
    EXPECT_EQ(StatusText(*window), "Enter a valid modem address and Telnet port.");
    EXPECT_FALSE(Control<QLineEdit>(*window, kIdCommandLine)->hasFocus());
}

TEST_F(WindowEventTest, ModemOutputGoesToItsPaneLineAndStatusRow) {
    Output(HostOutputKind::ReceivedText, "partial");
    Output(HostOutputKind::LinkMessage, "*** CONNECTED to PEER1");
    Output(HostOutputKind::LinkMessage, "\r\nalready broken");
    Output(HostOutputKind::CommandText, "[startup.txt Term] > MYCALL AB1CD");
    Output(HostOutputKind::CommandText, "");
    Output(HostOutputKind::EchoText, "on air \x80");
    auto* pane = Control<ReceivePane>(*window, kIdReceivePane);
    EXPECT_EQ(
        pane->toPlainText(),
        "partial\n*** CONNECTED to PEER1\nalready broken\n[startup.txt Term] > MYCALL AB1CD\n");
    for (const int line : {0, 1}) {  // the link message in bold
        const QTextBlock block = pane->document()->findBlockByNumber(line);
        EXPECT_EQ(block.begin().fragment().charFormat().fontWeight() == QFont::Bold, line == 1);
    }
    EXPECT_EQ(EchoText(*window), "on air \u20ac");

    // Status bytes fill the status row; an ended link is cleaned up once.
    Status(0x2B, 3, 1);
    EXPECT_EQ(LabelText(*window, "directionLabel"), "SEND");
    EXPECT_EQ(Colour(*window, "directionLabel"), kErrorRed);
    EXPECT_EQ(LabelText(*window, "stateLabel"), "IDLE");
    EXPECT_EQ(Colour(*window, "stateLabel"), QColor(18, 124, 62));
    EXPECT_EQ(LabelText(*window, "modeLabel"), "S3  SL2");
    // Any kind above the command text carries status bytes; short ones are dropped.
    Post(UiEvent::Output(static_cast<HostOutputKind>(7), {0x70, 0, 0}));
    Post(UiEvent::Output(HostOutputKind::StatusBytes, {0x60, 0}));
    EXPECT_EQ(LabelText(*window, "modeLabel"), "CHANNEL BUSY");

    window->session().fileSendActive = true;  // a text file was being sent
    Status(0x23, 3, 1);
    Status(0x07);
    EXPECT_FALSE(window->flags().arqActive);
    EXPECT_EQ(StatusText(*window), "HOSTMODE ACTIVE");
    const QString ended = EchoText(*window);
    EXPECT_TRUE(ended.endsWith("\nText file transfer ended: ARQ disconnected\n")) << ended;
    // Something queued after the link ended survives the next poll without a link.
    window->SetStatus("operator note", false);
    window->session().WithQueues([](HostQueues& q) {
        q.outboundQueue.push_back({{'x'}, 0, OutboundKind::TransferControl, 0});
    });
    Status(0x07);
    EXPECT_EQ(StatusText(*window), "operator note");
    EXPECT_EQ(EchoText(*window), ended);
    EXPECT_EQ(window->session().WithQueues([](HostQueues& q) { return q.outboundQueue.size(); }),
              1U);

    Post(UiEvent::Error("Connection closed by modem"));
    EXPECT_EQ(StatusText(*window), "Connection closed by modem");
    EXPECT_EQ(Colour(*window), kErrorRed);
}

TEST_F(WindowEventTest, TransfersShowVerdictsWithHexCrcAndProgressBars) {
    BinaryTransferMessage message = Message(Kind::ReceiveStarted, "photo.jpg", 1234);
    message.expectedCrc = 0xABCD;
    Transfer(message);
    message.kind = Kind::ReceiveFinished;
    message.actualCrc = 0xDEADBEEF;
    message.result = 7;
    Transfer(message);
    // Stored under its own name, then under another one because it was taken.
    message.result = 0;
    for (const char* stored : {"photo.jpg", "photo (1).jpg"}) {
        message.path = (folder.path() / stored).string();
        Transfer(message);
    }
    message = Message(static_cast<Kind>(9), "100%1.bin");  // above 3: a finished send
    message.actualCrc = 1;
    Transfer(message);
    EXPECT_EQ(
        ReceiveText(*window),
        "\n[Receiving binary file: photo.jpg, 1234 Bytes, CRC32 0000ABCD]\n"
        "[Binary file received: photo.jpg, ERROR, CRC32 DEADBEEF]\n"
        "[Binary file received: photo.jpg, CRC OK, CRC32 DEADBEEF]\n"
        "[Binary file received: photo.jpg, CRC OK, CRC32 DEADBEEF, stored as photo (1).jpg]\n");
    EXPECT_EQ(EchoText(*window), "[Binary file sent: 100%1.bin, CRC OK, CRC32 00000001]\n");

    // Each pane's bar shows while its transfer runs and goes with the verdict;
    // the percent texts stay in the status line.
    auto* receiving = Named<TransferProgressBar>(*window, "receiveProgress");
    auto* sending = Named<TransferProgressBar>(*window, "sendProgress");
    EXPECT_FALSE(receiving->isVisible() || sending->isVisible());
    window->session().incomingTransferActive = true;
    Transfer(Message(Kind::ReceiveStarted, "log.txt", 2048));
    Transfer(Message(Kind::ReceiveProgress, "log.txt", 2048, 25));
    EXPECT_TRUE(receiving->isVisible());
    EXPECT_EQ(receiving->value(), 25);
    EXPECT_TRUE(receiving->text().startsWith("25%  \u00B7  512 B of 2.0 KiB")) << receiving->text();
    EXPECT_EQ(StatusText(*window), "Receiving binary file: 25%");
    Transfer(Message(Kind::ReceiveFinished, "log.txt"));
    EXPECT_FALSE(receiving->isVisible());
    // A refused start never moves, so it gets no bar.
    Transfer(Message(Kind::ReceiveStarted, "log.txt", 2048, 0, 4));
    EXPECT_FALSE(receiving->isVisible());

    window->session().fileSendActive = true;
    SendProgress(42);
    EXPECT_EQ(sending->value(), 42);
    EXPECT_EQ(StatusText(*window), "Sending binary file: 42%");
    // An abort on its way freezes the percent.
    window->session().binaryAbortRequested = true;
    SendProgress(50);
    EXPECT_EQ(StatusText(*window), "Sending binary file: 42%");
    window->session().binaryAbortRequested = false;
    Transfer(Message(Kind::SendFinished, ""));
    EXPECT_FALSE(sending->isVisible());
    // A send ended by the link takes its bar along at the next refresh.
    window->session().fileSendActive = true;
    SendProgress(10);
    EXPECT_TRUE(sending->isVisible());
    window->session().fileSendActive = false;
    window->UpdateConnectionUi();
    EXPECT_FALSE(sending->isVisible());
}

TEST_F(WindowEventTest, StartupErrorIsReportedOnceAndTheCommandLineLinkWinsOverIt) {
    const QString expected =
        "[startup.txt init] startup.txt: configured COM250 is not available and no telnet "
        "fallback is set.\n";
    // After a good load the same error is news again.
    for (const std::string good : {"", "[Term]\nMYCALL AB1CD\n"}) {
        folder.WriteFile("startup.txt", "[Modem]\ncomport=COM250\n");
        EXPECT_FALSE(window->LoadStartupConfiguration(true));
        EXPECT_FALSE(window->LoadStartupConfiguration(true));
        folder.WriteFile("startup.txt", good);
        EXPECT_TRUE(window->LoadStartupConfiguration(true));
    }
    EXPECT_EQ(ReceiveText(*window), expected + expected);
    EXPECT_EQ(StatusText(*window), "MODEM DISCONNECTED");

    // An installed window: the command line's link wins over the file's absent
    // COM port, and its folders open from the folders button.
    folder.WriteFile("startup.txt", "[Modem]\ncomport=COM250\n");
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
    EXPECT_FALSE(Control<QPushButton>(installed, kIdComSelector)->isChecked());
    EXPECT_EQ(Control<QComboBox>(installed, kIdAddressBox)->currentText(), "127.0.0.9");
    EXPECT_EQ(Control<QLineEdit>(installed, kIdTcpPort)->text(), "3456");
    EXPECT_EQ(ReceiveText(installed), QString());

    auto* button = Named<QToolButton>(installed, "foldersButton");
    EXPECT_EQ(button->text(), "Installed");
    EXPECT_EQ(Named<QToolButton>(*window, "foldersButton")->text(), "Portable");
    EXPECT_FALSE(
        button->geometry().intersects(Named<QLabel>(installed, "headerLabel")->geometry()));
    const QList<QAction*> actions = button->menu()->actions();
    ASSERT_EQ(actions.size(), 3);
    actions[0]->trigger();
    EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "share" / "received"));
    actions[1]->trigger();
    ASSERT_EQ(opened.size(), 2U);
    EXPECT_TRUE(opened[0].endsWith("share/received"));
    EXPECT_EQ(opened[1].toStdString(), folder.path().string());
    openWorks = false;
    actions[1]->trigger();
    EXPECT_TRUE(StatusText(installed).startsWith("Could not open "));
    EXPECT_TRUE(installed.flags().statusIsError);
}

}  // namespace
}  // namespace corvina
