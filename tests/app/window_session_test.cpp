#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <regex>

#include "app/action_button.h"
#include "sim/simulator.h"
#include "window_harness.h"

namespace corvina {
namespace {

using namespace testing_support;
using namespace std::chrono_literals;

// Two stations on one simulated radio channel, each window with its own
// folder and a startup.txt that connects it automatically.
class WindowSessionTest : public testing::Test {
  protected:
    static constexpr int kStations = 2;

    void SetUp() override {
        TestApplication();
        velksim::SimulatorOptions options;
        options.channel.timeScale = timeScale;
        options.channel.callTimeout = callTimeout;
        for (const char* call : {"DEMO1", "DEMO2"}) {
            velksim::ModemOptions modem;
            modem.name = call;
            options.modems.push_back(modem);
        }
        sim = std::make_unique<velksim::Simulator>(std::move(options));
        std::string error;
        ASSERT_TRUE(sim->Start(error)) << error;
    }

    void TearDown() override {
        for (auto& window : windows) {
            window.reset();
        }
        sim.reset();
    }

    // Opens station `i`; it connects by itself from its startup.txt.
    Application& Station(int i) {
        const std::string call = i == 0 ? "DEMO1" : "DEMO2";
        folders[i].Write("startup.txt",
                         "[Term]\nMYCALL " + call + "\n[Modem]\ntelnet=127.0.0.1\nautostart=on\n");
        ApplicationOptions options = discovery[i].Options(folders[i].path());
        options.chooseFile = [this, i](QWidget*, const QString&) { return chosenFile[i]; };
        windows[i] = std::make_unique<Application>(std::move(options));
        Application& window = *windows[i];
        // The automatic start is queued; the modem's port goes in before it runs.
        Control<QLineEdit>(window, kIdTcpPort)
            ->setText(QString::number(sim->modem(static_cast<std::size_t>(i)).tcpPort()));
        window.show();
        return window;
    }

    static bool WaitForText(Application& window, int paneId, const QString& text,
                            std::chrono::milliseconds timeout = 8000ms) {
        return WaitUntil(
            [&] {
                auto* pane = window.findChild<QWidget*>(QString::number(paneId));
                if (auto* receive = qobject_cast<ReceivePane*>(pane)) {
                    return receive->toPlainText().contains(text);
                }
                return qobject_cast<EchoPane*>(pane)->toPlainText().contains(text);
            },
            timeout);
    }

    static void Type(QWidget* widget, const QString& text) {
        widget->setFocus();
        QTest::keyClicks(widget, text);
    }

    double timeScale = 50;
    std::chrono::milliseconds callTimeout{5000};
    std::unique_ptr<velksim::Simulator> sim;
    ScratchFolder folders[kStations];
    FakeDiscovery discovery[kStations];
    std::unique_ptr<Application> windows[kStations];
    QString chosenFile[kStations];  // what each station's file dialog answers

    // Both stations up and linked by a call from the first.
    void LinkStations() {
        Application& one = Station(0);
        Application& two = Station(1);
        ASSERT_TRUE(WaitUntil([&] {
            return StatusText(one) == QStringLiteral("HOSTMODE ACTIVE") &&
                   StatusText(two) == QStringLiteral("HOSTMODE ACTIVE");
        }));
        Type(Control<QLineEdit>(one, kIdCallSign), QStringLiteral("DEMO2"));
        QTest::mouseClick(Control<QPushButton>(one, kIdCallButton), Qt::LeftButton);
        ASSERT_TRUE(WaitUntil([&] { return one.flags().arqActive && two.flags().arqActive; }));
    }
};

std::string Contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(WindowSessionTest, StartupScriptConnectsAutomaticallyAndCommandsRun) {
    Application& one = Station(0);
    ASSERT_TRUE(WaitUntil([&] { return StatusText(one) == QStringLiteral("HOSTMODE ACTIVE"); }))
        << StatusText(one).toStdString();
    EXPECT_TRUE(one.flags().sessionActive);
    EXPECT_TRUE(ReceiveText(one).contains(QStringLiteral("[startup.txt Term] > MYCALL DEMO1")));
    EXPECT_EQ(Control<QPushButton>(one, kIdPortButton)->text(), QStringLiteral("Disconnect port"));
    EXPECT_FALSE(Control<QLineEdit>(one, kIdChannel)->isEnabled());
    EXPECT_TRUE(Control<QPushButton>(one, kIdNetworkSelector)->isChecked());

    // Return in the command line runs it; the modem's answer lands in the pane.
    auto* command = Control<QLineEdit>(one, kIdCommandLine);
    Type(command, QStringLiteral("I"));
    QTest::keyClick(command, Qt::Key_Return);
    EXPECT_TRUE(command->text().isEmpty());
    EXPECT_TRUE(WaitForText(one, kIdReceivePane, QStringLiteral("DEMO1")));

    // Escape brings the command line back with its text selected.
    command->setText(QStringLiteral("XYZ"));
    auto* call = Control<QLineEdit>(one, kIdCallSign);
    call->setFocus();
    QTest::keyClick(call, Qt::Key_Escape);
    EXPECT_TRUE(command->hasFocus());
    EXPECT_EQ(command->selectedText(), QStringLiteral("XYZ"));

    // A command over 256 bytes stays in the line with an error.
    command->setMaxLength(1000);
    command->setText(QString(257, u'A'));
    QTest::mouseClick(Control<QPushButton>(one, kIdExecute), Qt::LeftButton);
    EXPECT_EQ(StatusText(one), QStringLiteral("Hostmode commands are limited to 256 bytes."));
    EXPECT_EQ(command->text().size(), 257);

    // The port button ends the session in order.
    QTest::mouseClick(Control<QPushButton>(one, kIdPortButton), Qt::LeftButton);
    EXPECT_FALSE(one.flags().sessionActive);
    EXPECT_EQ(StatusText(one), QStringLiteral("MODEM DISCONNECTED"));
    EXPECT_EQ(Named<QLabel>(one, "stateLabel")->text(), QStringLiteral("UNKNOWN STATUS"));
    EXPECT_TRUE(Control<QLineEdit>(one, kIdChannel)->isEnabled());
}

TEST_F(WindowSessionTest, ClosingTheWindowRunsShutdownScriptAndLeavesHostmode) {
    folders[0].Write("shutdown.txt", "[Host]\nI\n[Term]\nBYE DEMO\n");
    Application& one = Station(0);
    ASSERT_TRUE(WaitUntil([&] { return StatusText(one) == QStringLiteral("HOSTMODE ACTIVE"); }));
    const auto before = sim->modem(0).counters().requests;
    const auto count = [](const std::map<std::string, std::uint64_t>& requests,
                          const std::string& key) {
        const auto found = requests.find(key);
        return found == requests.end() ? 0U : found->second;
    };
    one.close();
    EXPECT_FALSE(one.flags().sessionActive);
    const velksim::Counters after = sim->modem(0).counters();
    EXPECT_EQ(count(after.requests, "4:JHOST0"), count(before, "4:JHOST0") + 1);
    EXPECT_EQ(count(after.requests, "4:I"), count(before, "4:I") + 1);
    ASSERT_FALSE(after.terminalLines.empty());
    EXPECT_EQ(after.terminalLines.back(), "BYE DEMO");
}

TEST_F(WindowSessionTest, TwoStationsCallChatChangeOverAndDisconnect) {
    Application& one = Station(0);
    Application& two = Station(1);
    ASSERT_TRUE(WaitUntil([&] {
        return StatusText(one) == QStringLiteral("HOSTMODE ACTIVE") &&
               StatusText(two) == QStringLiteral("HOSTMODE ACTIVE");
    }));

    auto* call = Control<QLineEdit>(one, kIdCallSign);
    auto* callButton = Control<QPushButton>(one, kIdCallButton);
    Type(call, QStringLiteral("d"));
    EXPECT_FALSE(callButton->isEnabled()) << "one character is no call sign";
    Type(call, QStringLiteral("emo2"));
    EXPECT_EQ(call->text(), QStringLiteral("DEMO2"));
    ASSERT_TRUE(callButton->isEnabled());
    auto* drawnCall = Control<ActionButton>(one, kIdCallButton);
    EXPECT_TRUE(drawnCall->DrawsReadyLook()) << "a call can start: green";
    QTest::mouseClick(callButton, Qt::LeftButton);
    EXPECT_EQ(callButton->text(), QStringLiteral("ABORT CALL"));
    EXPECT_FALSE(drawnCall->DrawsReadyLook()) << "a call is pending: the system look";

    ASSERT_TRUE(WaitUntil([&] { return one.flags().arqActive && two.flags().arqActive; }));
    EXPECT_TRUE(WaitForText(one, kIdReceivePane, QStringLiteral("CONNECTED to DEMO2")));
    EXPECT_TRUE(WaitForText(two, kIdReceivePane, QStringLiteral("CONNECTED to DEMO1")));
    EXPECT_EQ(callButton->text(), QStringLiteral("CONNECT"));

    auto* transmitOne = Control<TransmitPane>(one, kIdTransmitPane);
    ASSERT_TRUE(WaitUntil([&] { return transmitOne->isEnabled(); }));
    Type(transmitOne, QStringLiteral("hello from one"));
    QTest::keyClick(transmitOne, Qt::Key_Return);
    EXPECT_EQ(transmitOne->PendingText(), QString());
    EXPECT_TRUE(WaitForText(two, kIdReceivePane, QStringLiteral("hello from one")));
    EXPECT_TRUE(WaitForText(one, kIdEchoPane, QStringLiteral("hello from one")));

    // The sender hands over the turn; the other station answers.
    ASSERT_TRUE(WaitUntil([&] { return one.flags().sendIndicator; }));
    QTest::mouseClick(Control<QPushButton>(one, kIdChangeover), Qt::LeftButton);
    EXPECT_TRUE(transmitOne->toPlainText().contains(QStringLiteral("<Changeover / Break-in>")));
    ASSERT_TRUE(WaitUntil([&] { return two.flags().sendIndicator; }));
    auto* transmitTwo = Control<TransmitPane>(two, kIdTransmitPane);
    Type(transmitTwo, QStringLiteral("answer from two"));
    QTest::keyClick(transmitTwo, Qt::Key_Return);
    EXPECT_TRUE(WaitForText(one, kIdReceivePane, QStringLiteral("answer from two")));

    QTest::mouseClick(Control<QPushButton>(one, kIdDisconnectArq), Qt::LeftButton);
    EXPECT_TRUE(transmitOne->toPlainText().contains(QStringLiteral("<Disconnect ARQ>")));
    ASSERT_TRUE(WaitUntil([&] { return !one.flags().arqActive && !two.flags().arqActive; }));
    EXPECT_EQ(StatusText(one), QStringLiteral("HOSTMODE ACTIVE"));
    EXPECT_FALSE(transmitOne->isEnabled());
}

TEST_F(WindowSessionTest, BroadcastIsHeardAndEndedByFecEnd) {
    Application& one = Station(0);
    Application& two = Station(1);
    ASSERT_TRUE(WaitUntil([&] {
        return StatusText(one) == QStringLiteral("HOSTMODE ACTIVE") &&
               StatusText(two) == QStringLiteral("HOSTMODE ACTIVE");
    }));
    auto* broadcast = Control<QPushButton>(one, kIdBroadcast);
    QTest::mouseClick(broadcast, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return one.flags().fecActive; }));
    EXPECT_EQ(broadcast->text(), QStringLiteral("FEC END"));
    auto* transmit = Control<TransmitPane>(one, kIdTransmitPane);
    ASSERT_TRUE(WaitUntil([&] { return transmit->isEnabled(); }));
    Type(transmit, QStringLiteral("cq cq broadcast"));
    QTest::keyClick(transmit, Qt::Key_Return);
    EXPECT_TRUE(WaitForText(two, kIdReceivePane, QStringLiteral("cq cq broadcast")));

    QTest::mouseClick(broadcast, Qt::LeftButton);
    EXPECT_TRUE(one.flags().fecEnding);
    EXPECT_FALSE(broadcast->isEnabled());
    ASSERT_TRUE(WaitUntil([&] { return !one.flags().fecEnding && !one.flags().fecActive; }));
    EXPECT_EQ(broadcast->text(), QStringLiteral("BROADCAST"));
    EXPECT_EQ(StatusText(one), QStringLiteral("HOSTMODE ACTIVE"));
}

TEST_F(WindowSessionTest, BinaryFilesTravelBothWaysAndLandInTmp) {
    ASSERT_NO_FATAL_FAILURE(LinkStations());
    Application& one = *windows[0];
    Application& two = *windows[1];
    std::string payload;
    for (int i = 0; i < 3000; ++i) {
        payload.push_back(static_cast<char>((i * 7919) % 251));
    }
    folders[0].Write("one.bin", payload);
    folders[1].Write("two.bin", payload.substr(0, 1000) + "reply");
    chosenFile[0] = QString::fromStdString((folders[0].path() / "one.bin").string());
    chosenFile[1] = QString::fromStdString((folders[1].path() / "two.bin").string());

    auto* binaryOne = Control<QPushButton>(one, kIdBinaryFile);
    ASSERT_TRUE(binaryOne->isEnabled());
    QTest::mouseClick(binaryOne, Qt::LeftButton);
    EXPECT_TRUE(Control<TransmitPane>(one, kIdTransmitPane)
                    ->toPlainText()
                    .contains(QStringLiteral("[Binary file: one.bin 3000 Bytes]")));
    ASSERT_TRUE(WaitForText(one, kIdEchoPane, QStringLiteral("[Binary file sent: one.bin, CRC OK"),
                            20000ms));
    EXPECT_TRUE(
        WaitForText(two, kIdReceivePane, QStringLiteral("[Binary file received: one.bin, CRC OK")));
    EXPECT_EQ(Contents(folders[1].path() / "tmp" / "one.bin"), payload);
    EXPECT_EQ(binaryOne->text(), QStringLiteral("Send binary file..."));

    // The first station hands over the turn; the second sends back.
    ASSERT_TRUE(WaitUntil([&] { return one.flags().sendIndicator; }));
    QTest::mouseClick(Control<QPushButton>(one, kIdChangeover), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return two.flags().sendIndicator; }));
    auto* binaryTwo = Control<QPushButton>(two, kIdBinaryFile);
    ASSERT_TRUE(WaitUntil([&] { return binaryTwo->isEnabled(); }));
    QTest::mouseClick(binaryTwo, Qt::LeftButton);
    ASSERT_TRUE(WaitForText(two, kIdEchoPane, QStringLiteral("[Binary file sent: two.bin, CRC OK"),
                            20000ms));
    EXPECT_EQ(Contents(folders[0].path() / "tmp" / "two.bin"), payload.substr(0, 1000) + "reply");
}

// Every transcript line of station `i` so far, the daily files in date order.
std::vector<std::string> TranscriptLines(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> days;
    for (const auto& entry : std::filesystem::directory_iterator(folder / "log")) {
        days.push_back(entry.path());
    }
    std::sort(days.begin(), days.end());
    std::vector<std::string> lines;
    for (const auto& day : days) {
        std::ifstream in(day, std::ios::binary);
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
    }
    return lines;
}

TEST_F(WindowSessionTest, TranscriptKeepsLinkTextEchoAndVerdictsAcrossRestarts) {
    ASSERT_NO_FATAL_FAILURE(LinkStations());
    Application& one = *windows[0];
    auto* transmit = Control<TransmitPane>(one, kIdTransmitPane);
    ASSERT_TRUE(WaitUntil([&] { return transmit->isEnabled(); }));
    Type(transmit, QStringLiteral("hello log"));
    QTest::keyClick(transmit, Qt::Key_Return);
    ASSERT_TRUE(WaitForText(one, kIdEchoPane, QStringLiteral("hello log")));
    folders[0].Write("log.bin", "twelve bytes");
    chosenFile[0] = QString::fromStdString((folders[0].path() / "log.bin").string());
    QTest::mouseClick(Control<QPushButton>(one, kIdBinaryFile), Qt::LeftButton);
    ASSERT_TRUE(WaitForText(*windows[1], kIdReceivePane,
                            QStringLiteral("[Binary file received: log.bin, CRC OK"), 20000ms));
    ASSERT_TRUE(WaitForText(one, kIdEchoPane, QStringLiteral("[Binary file sent: log.bin, CRC OK"),
                            20000ms));
    windows[0].reset();
    windows[1].reset();

    const std::regex line(
        R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z\t(received|sent|command|link|file)\t.*)");
    auto holds = [](const std::vector<std::string>& lines, const std::string& part) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.find(part) != std::string::npos; });
    };
    const std::vector<std::string> sender = TranscriptLines(folders[0].path());
    const std::vector<std::string> receiver = TranscriptLines(folders[1].path());
    for (const auto& l : sender) {
        EXPECT_TRUE(std::regex_match(l, line)) << l;
    }
    EXPECT_TRUE(holds(sender, "\tlink\t*** CONNECTED to DEMO2"));
    EXPECT_TRUE(holds(sender, "\tsent\thello log\\r"));
    EXPECT_TRUE(holds(sender, "\tfile\tBinary file sent: log.bin, CRC OK"));
    EXPECT_TRUE(holds(receiver, "\treceived\thello log\\r"));
    EXPECT_TRUE(holds(receiver, "\tfile\tBinary file received: log.bin, CRC OK"));

    // A restart appends to what the last run wrote.
    Application& again = Station(0);
    ASSERT_TRUE(WaitUntil([&] { return StatusText(again) == QStringLiteral("HOSTMODE ACTIVE"); }));
    windows[0].reset();
    const std::vector<std::string> after = TranscriptLines(folders[0].path());
    ASSERT_GT(after.size(), sender.size());
    EXPECT_TRUE(std::equal(sender.begin(), sender.end(), after.begin()));
}

TEST_F(WindowSessionTest, TextFileArrivesAsPlainText) {
    ASSERT_NO_FATAL_FAILURE(LinkStations());
    Application& one = *windows[0];
    Application& two = *windows[1];
    folders[0].Write("note.txt", "first line\r\nsecond line\r\n");
    chosenFile[0] = QString::fromStdString((folders[0].path() / "note.txt").string());
    auto* textButton = Control<QPushButton>(one, kIdTextFile);
    ASSERT_TRUE(WaitUntil([&] { return textButton->isEnabled(); }));
    QTest::mouseClick(textButton, Qt::LeftButton);
    EXPECT_TRUE(Control<TransmitPane>(one, kIdTransmitPane)
                    ->toPlainText()
                    .contains(QStringLiteral("[note.txt 25 Bytes]")));
    EXPECT_TRUE(WaitForText(two, kIdReceivePane, QStringLiteral("first line\nsecond line")));
    EXPECT_TRUE(WaitUntil([&] { return !one.session().fileSendActive.load(); }));
    EXPECT_EQ(StatusText(one), QStringLiteral("HOSTMODE ACTIVE"));
}

// A file removed between the dialog and the send is refused with its error,
// drawn red although the session is up; the station carries on.
TEST_F(WindowSessionTest, FileRemovedAfterChoosingIsRefusedInRed) {
    ASSERT_NO_FATAL_FAILURE(LinkStations());
    Application& one = *windows[0];
    const struct {
        int button;
        QString status;
    } cases[] = {
        {kIdBinaryFile, QStringLiteral("Could not read binary file size")},
        {kIdTextFile, QStringLiteral("Could not read text file size")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status.toStdString());
        folders[0].Write("gone.bin", "soon gone");
        const auto path = folders[0].path() / "gone.bin";
        chosenFile[0] = QString::fromStdString(path.string());
        std::filesystem::remove(path);
        QTest::mouseClick(Control<QPushButton>(one, c.button), Qt::LeftButton);
        EXPECT_EQ(StatusText(one), c.status);
        EXPECT_EQ(Named<QLabel>(one, "statusLine")->palette().color(QPalette::WindowText),
                  QColor(184, 32, 38));
        EXPECT_FALSE(one.session().fileSendActive.load());
        EXPECT_TRUE(one.flags().sessionActive);
    }
}

// The modem refuses the broadcast (its link is busy with a call the window
// did not see): the start reverts after two seconds.
class UnconfirmedBroadcastTest : public WindowSessionTest {
  protected:
    UnconfirmedBroadcastTest() {
        timeScale = 1;
        callTimeout = 20000ms;
    }
};

TEST_F(UnconfirmedBroadcastTest, BroadcastStartRevertsAfterTwoSeconds) {
    Application& one = Station(0);
    ASSERT_TRUE(WaitUntil([&] { return StatusText(one) == QStringLiteral("HOSTMODE ACTIVE"); }));
    // A leading blank hides the call from the window; the modem still calls.
    auto* command = Control<QLineEdit>(one, kIdCommandLine);
    Type(command, QStringLiteral(" C NOBODY"));
    QTest::keyClick(command, Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return Named<QLabel>(one, "stateLabel")->text() == "PHASE"; }));

    auto* broadcast = Control<QPushButton>(one, kIdBroadcast);
    ASSERT_TRUE(broadcast->isEnabled());
    QTest::mouseClick(broadcast, Qt::LeftButton);
    EXPECT_EQ(broadcast->text(), QStringLiteral("STARTING..."));
    EXPECT_FALSE(broadcast->isEnabled());
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(WaitUntil([&] { return !one.flags().fecStarting; }, 4000ms));
    EXPECT_GE(clock.elapsed(), 1900);
    EXPECT_EQ(broadcast->text(), QStringLiteral("BROADCAST"));
    EXPECT_EQ(StatusText(one), QStringLiteral("HOSTMODE ACTIVE"));
}

}  // namespace
}  // namespace corvina

namespace corvina {
namespace {

TEST_F(UnconfirmedBroadcastTest, AbortingPendingCallRestoresConnect) {
    Application& one = Station(0);
    ASSERT_TRUE(WaitUntil([&] { return StatusText(one) == QStringLiteral("HOSTMODE ACTIVE"); }));
    Type(Control<QLineEdit>(one, kIdCallSign), QStringLiteral("NOBODY"));
    auto* callButton = Control<QPushButton>(one, kIdCallButton);
    QTest::mouseClick(callButton, Qt::LeftButton);
    EXPECT_EQ(callButton->text(), QStringLiteral("ABORT CALL"));
    EXPECT_FALSE(Control<QPushButton>(one, kIdBroadcast)->isEnabled());
    QTest::mouseClick(callButton, Qt::LeftButton);
    EXPECT_EQ(callButton->text(), QStringLiteral("ABORTING..."));
    EXPECT_FALSE(callButton->isEnabled());
    ASSERT_TRUE(WaitUntil([&] { return callButton->text() == QStringLiteral("CONNECT"); }));
    EXPECT_TRUE(callButton->isEnabled());
    EXPECT_TRUE(ReceiveText(one).contains(QStringLiteral("DISCONNECTED")));
}

}  // namespace
}  // namespace corvina
