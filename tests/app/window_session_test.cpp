#include <gmock/gmock.h>

#include <fstream>
#include <iterator>

#include "app/action_button.h"
#include "window_harness.h"

namespace corvina {
namespace {

using namespace testing_support;
using ::testing::HasSubstr;

std::string Contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Everything a station wrote to its transcript in `folder`, all days together.
std::string Transcript(const std::filesystem::path& folder) {
    std::string text;
    for (const auto& day : std::filesystem::directory_iterator(folder / "log")) {
        text += Contents(day.path());
    }
    return text;
}

class WindowSessionTest : public StationWindowsTest {
  protected:
    Application& Station(int i) { return Open(i, "telnet=127.0.0.1\nautostart=on\n"); }
};

// Two stations on one simulated radio channel, through their own controls:
// start-up script and commands, calls answered and not, chat, files,
// changeover, disconnect, broadcasts, the shutdown script and what both write
// to their transcripts.
TEST_F(WindowSessionTest, TwoStationsRunScriptsCallChatSendFilesBroadcastAndKeepTranscripts) {
    velksim::SimulatorOptions options;
    options.channel.timeScale = 50;
    // Six seconds of wall clock: long enough to outlast the window's two-second
    // wait for a broadcast that a calling modem never confirms.
    options.channel.callTimeout = 300s;
    options.modems.resize(kStations);
    for (int i = 0; i < kStations; ++i) {
        options.modems[static_cast<std::size_t>(i)].name = Call(i);
    }
    StartModems(std::move(options));
    folders[0].WriteFile("shutdown.txt", "[Host]\nI\n[Term]\nBYE DEMO\n");
    Application& one = Station(0);
    ASSERT_TRUE(WaitActive(one)) << StatusText(one);
    EXPECT_TRUE(ReceiveText(one).contains("[startup.txt Term] > MYCALL DEMO1"));
    EXPECT_EQ(Control<QPushButton>(one, kIdPortButton)->text(), "Disconnect port");
    EXPECT_FALSE(Control<QLineEdit>(one, kIdChannel)->isEnabled());
    EXPECT_TRUE(Control<QPushButton>(one, kIdNetworkSelector)->isChecked());

    // Return in the command line runs it; the modem's answer names the station again.
    auto* command = Control<QLineEdit>(one, kIdCommandLine);
    Type(command, "I");
    QTest::keyClick(command, Qt::Key_Return);
    EXPECT_TRUE(command->text().isEmpty());
    EXPECT_TRUE(WaitUntil([&] { return ReceiveText(one).count("DEMO1") >= 2; }));
    // Escape brings the command line back with its text selected.
    command->setText("XYZ");
    auto* call = Control<QLineEdit>(one, kIdCallSign);
    call->setFocus();
    QTest::keyClick(call, Qt::Key_Escape);
    EXPECT_TRUE(command->hasFocus());
    EXPECT_EQ(command->selectedText(), "XYZ");
    // A command over 256 bytes stays in the line with an error.
    command->setMaxLength(1000);
    command->setText(QString(257, u'A'));
    Click(one, kIdExecute);
    EXPECT_EQ(StatusText(one), "Hostmode commands are limited to 256 bytes.");
    EXPECT_EQ(command->text().size(), 257);

    // A call that finds nobody can be aborted.
    auto* callButton = Control<ActionButton>(one, kIdCallButton);
    auto* broadcast = Control<QPushButton>(one, kIdBroadcast);
    Type(call, "NOBODY");
    Click(one, kIdCallButton);
    EXPECT_EQ(callButton->text(), "ABORT CALL");
    EXPECT_FALSE(broadcast->isEnabled());
    Click(one, kIdCallButton);
    EXPECT_EQ(callButton->text(), "ABORTING...");
    EXPECT_FALSE(callButton->isEnabled());
    ASSERT_TRUE(WaitUntil([&] { return callButton->text() == "CONNECT"; }));
    EXPECT_TRUE(callButton->isEnabled());
    EXPECT_TRUE(ReceiveText(one).contains("DISCONNECTED"));
    // A leading blank hides the call from the window; the modem still calls,
    // so its link is busy and it never confirms the broadcast.
    command->clear();
    Type(command, " C NOBODY");
    QTest::keyClick(command, Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return LabelText(one, "stateLabel") == "PHASE"; }));
    ASSERT_TRUE(broadcast->isEnabled());
    Click(one, kIdBroadcast);
    EXPECT_EQ(broadcast->text(), "STARTING...");
    EXPECT_FALSE(broadcast->isEnabled());
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(WaitUntil([&] { return !one.flags().fecStarting; }, 4s));
    EXPECT_GE(clock.elapsed(), 1900);
    EXPECT_EQ(broadcast->text(), "BROADCAST");
    EXPECT_EQ(StatusText(one), "HOSTMODE ACTIVE");
    ASSERT_TRUE(WaitUntil([&] { return LabelText(one, "stateLabel") != "PHASE"; }, 10s));
    call->clear();

    Application& two = Station(1);
    ASSERT_TRUE(WaitActive(two)) << StatusText(two);
    Type(call, "d");
    EXPECT_FALSE(callButton->isEnabled()) << "one character is no call sign";
    Type(call, "!");
    Click(one, kIdCallButton);
    EXPECT_EQ(StatusText(one), "INVALID SIRVEX CALL");
    call->clear();
    Type(call, "demo2");
    EXPECT_EQ(call->text(), "DEMO2");
    EXPECT_TRUE(callButton->DrawsReadyLook()) << "a call can start: green";
    Click(one, kIdCallButton);
    EXPECT_EQ(callButton->text(), "ABORT CALL");
    EXPECT_FALSE(callButton->DrawsReadyLook()) << "a call is pending: the system look";
    ASSERT_TRUE(WaitUntil([&] { return one.flags().arqActive && two.flags().arqActive; }));
    EXPECT_TRUE(WaitForText(ReceiveText, one, "CONNECTED to DEMO2"));
    EXPECT_TRUE(WaitForText(ReceiveText, two, "CONNECTED to DEMO1"));

    auto* transmitOne = Control<TransmitPane>(one, kIdTransmitPane);
    ASSERT_TRUE(WaitUntil([&] { return transmitOne->isEnabled(); }));
    Type(transmitOne, "hello from one");
    QTest::keyClick(transmitOne, Qt::Key_Return);
    EXPECT_EQ(transmitOne->PendingText(), QString());
    EXPECT_TRUE(WaitForText(ReceiveText, two, "hello from one"));
    EXPECT_TRUE(WaitForText(EchoText, one, "hello from one"));

    std::string payload;
    for (int i = 0; i < 3000; ++i) {
        payload.push_back(static_cast<char>((i * 7919) % 251));
    }
    ChooseFile(0, "one.bin", payload);
    Click(one, kIdBinaryFile);
    EXPECT_TRUE(transmitOne->toPlainText().contains("[Binary file: one.bin 3000 Bytes]"));
    ASSERT_TRUE(WaitForText(EchoText, one, "[Binary file sent: one.bin, CRC OK", 20s));
    EXPECT_TRUE(WaitForText(ReceiveText, two, "[Binary file received: one.bin, CRC OK"));
    EXPECT_EQ(Contents(folders[1].path() / "tmp" / "one.bin"), payload);
    EXPECT_EQ(Control<QPushButton>(one, kIdBinaryFile)->text(), "Send binary file...");
    ASSERT_TRUE(WaitUntil([&] { return Control<QPushButton>(one, kIdTextFile)->isEnabled(); }));
    ChooseFile(0, "note.txt", "first line\r\nsecond line\r\n");
    Click(one, kIdTextFile);
    EXPECT_TRUE(transmitOne->toPlainText().contains("[note.txt 25 Bytes]"));
    EXPECT_TRUE(WaitForText(ReceiveText, two, "first line\nsecond line"));
    EXPECT_TRUE(WaitUntil([&] { return !one.session().fileSendActive.load(); }));
    EXPECT_EQ(StatusText(one), "HOSTMODE ACTIVE");
    // A file removed between the dialog and the send: refused, drawn red
    // although the session is up; the station carries on.
    chosenFile[0] = QString::fromStdString((folders[0].path() / "gone.bin").string());
    for (const auto& [button, status] :
         {std::pair{kIdBinaryFile, "Could not read binary file size"},
          std::pair{kIdTextFile, "Could not read text file size"}}) {
        Click(one, button);
        EXPECT_EQ(StatusText(one), status);
        EXPECT_EQ(Colour(one), kErrorRed);
        EXPECT_FALSE(one.session().fileSendActive.load());
    }

    // The sender hands over the turn; the other station answers.
    ASSERT_TRUE(WaitUntil([&] { return one.flags().sendIndicator; }));
    Click(one, kIdChangeover);
    EXPECT_TRUE(transmitOne->toPlainText().contains("<Changeover / Break-in>"));
    ASSERT_TRUE(WaitUntil([&] { return two.flags().sendIndicator; }));
    auto* transmitTwo = Control<TransmitPane>(two, kIdTransmitPane);
    Type(transmitTwo, "answer from two");
    QTest::keyClick(transmitTwo, Qt::Key_Return);
    EXPECT_TRUE(WaitForText(ReceiveText, one, "answer from two"));

    Click(one, kIdDisconnectArq);
    EXPECT_TRUE(transmitOne->toPlainText().contains("<Disconnect ARQ>"));
    ASSERT_TRUE(WaitUntil([&] { return !one.flags().arqActive && !two.flags().arqActive; }));
    EXPECT_EQ(StatusText(one), "HOSTMODE ACTIVE");
    EXPECT_FALSE(transmitOne->isEnabled());

    // Without a link the first station broadcasts until FEC END.
    Click(one, kIdBroadcast);
    ASSERT_TRUE(WaitUntil([&] { return one.flags().fecActive && transmitOne->isEnabled(); }));
    EXPECT_EQ(broadcast->text(), "FEC END");
    Type(transmitOne, "cq cq broadcast");
    QTest::keyClick(transmitOne, Qt::Key_Return);
    EXPECT_TRUE(WaitForText(ReceiveText, two, "cq cq broadcast"));
    Click(one, kIdBroadcast);
    EXPECT_TRUE(one.flags().fecEnding);
    EXPECT_FALSE(broadcast->isEnabled());
    ASSERT_TRUE(WaitUntil([&] { return !one.flags().fecEnding && !one.flags().fecActive; }));
    EXPECT_EQ(broadcast->text(), "BROADCAST");
    EXPECT_EQ(StatusText(one), "HOSTMODE ACTIVE");

    // Closing runs the shutdown script, then leaves hostmode.
    const velksim::Counters before = sim->modem(0).counters();
    one.close();
    const velksim::Counters after = sim->modem(0).counters();
    EXPECT_FALSE(one.flags().sessionActive);
    EXPECT_EQ(after.Requests(4, "JHOST0"), before.Requests(4, "JHOST0") + 1);
    EXPECT_EQ(after.Requests(4, "I"), before.Requests(4, "I") + 1);
    ASSERT_FALSE(after.terminalLines.empty());
    EXPECT_EQ(after.terminalLines.back(), "BYE DEMO");
    EXPECT_EQ(StatusText(one), "MODEM DISCONNECTED");
    EXPECT_EQ(LabelText(one, "stateLabel"), "UNKNOWN STATUS");
    EXPECT_TRUE(Control<QLineEdit>(one, kIdChannel)->isEnabled());

    windows[0].reset();
    windows[1].reset();
    const std::string transcript = Transcript(folders[0].path());
    EXPECT_THAT(transcript, HasSubstr("\tlink\t*** CONNECTED to DEMO2"));
    EXPECT_THAT(transcript, HasSubstr("\tsent\thello from one\\r"));
    EXPECT_THAT(transcript, HasSubstr("\treceived\tanswer from two\\r"));
    EXPECT_THAT(transcript, HasSubstr("\tfile\tBinary file sent: one.bin, CRC OK"));
    EXPECT_THAT(Transcript(folders[1].path()), HasSubstr("\treceived\thello from one\\r"));
    EXPECT_THAT(Transcript(folders[1].path()),
                HasSubstr("\tfile\tBinary file received: one.bin, CRC OK"));
}

}  // namespace
}  // namespace corvina
