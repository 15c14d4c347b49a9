// The window's link to one simulated modem: serial devices by path, the
// connection attempt that runs beside the window, and the link that heals
// itself after a failure.

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include "link/tcp_test_server.h"
#include "window_harness.h"

namespace corvina {
namespace {

using namespace testing_support;

class WindowLinkTest : public StationWindowsTest {
  protected:
    int Count(const QString& text) { return ReceiveText(*windows[0]).count(text); }
};

// Each way of losing the link, with and without healing and with the operator
// stepping in while it waits. A serial link takes its baud rate from startup.txt;
// one turned off by the operator can be brought back on a typed device path.
TEST_F(WindowLinkTest, LostLinkComesBackUnlessTurnedOffOrDisconnected) {
    std::uint16_t port = 0;
    const auto hangUp = [&] { sim->modem(0).DropClient(); };
    const struct {
        const char* name;
        bool serial;
        std::function<void()> lose;
        bool reconnect;
        bool operatorDisconnects;
    } cases[] = {
        {"pseudo-terminal hung up and back", true, hangUp, true, false},
        {"modem restarted on the same TCP port", false,
         [&] {
             sim.reset();
             StartModem(port);
         },
         true, false},
        {"modem stops answering for a while", false,
         [&] {
             sim->modem(0).faults().dropEveryNth = 1;
             EXPECT_TRUE(WaitUntil([&] { return Count("Link lost") == 1; }));
             sim->modem(0).faults().dropEveryNth = 0;
         },
         true, false},
        {"operator disconnects during the pause", false, [&] { sim.reset(); }, true, true},
        {"reconnect=off", true, hangUp, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StartModem();
        const std::string link =
            c.serial ? "modem=KTM-II\nbaudrate=19200\ncomport=" + ptyLink.string() + "\n"
                     : "telnet=127.0.0.1\n";
        Application& w = Open(0, link + "autostart=on\n" + (c.reconnect ? "" : "reconnect=off\n"));
        port = sim->modem(0).tcpPort();
        ASSERT_TRUE(WaitActive(w)) << StatusText(w);
        const QString startup = "[startup.txt Term] > MYCALL DEMO1";
        ASSERT_EQ(Count(startup), 1);
        if (c.serial) {
            const int device =
                open(sim->modem(0).ptyDevice().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            ASSERT_GE(device, 0);
            termios settings{};
            ASSERT_EQ(tcgetattr(device, &settings), 0);
            close(device);
            EXPECT_EQ(cfgetospeed(&settings), static_cast<speed_t>(B19200));
        }

        c.lose();
        if (!c.reconnect) {
            ASSERT_TRUE(WaitUntil([&] { return !w.flags().sessionActive; }));
            QTest::qWait(2500);
            EXPECT_FALSE(w.flags().sessionActive) << "reconnected although turned off";
            EXPECT_EQ(Count("Link lost"), 0);
            folders[0].WriteFile("startup.txt", "[Term]\nMYCALL DEMO1\n");
            auto* box = Control<QComboBox>(w, kIdComPortList);
            box->setEditText(QString::fromStdString(ptyLink.string()));
            Click(w, kIdPortButton);
            ASSERT_TRUE(WaitActive(w)) << StatusText(w);
            EXPECT_EQ(box->currentText().toStdString(), ptyLink.string())
                << "the typed path was lost";
        } else if (c.operatorDisconnects) {
            ASSERT_TRUE(WaitUntil([&] { return Count("Link lost") == 1; }));
            ASSERT_TRUE(w.flags().sessionActive) << "no way to stop the retries";
            Click(w, kIdPortButton);
            EXPECT_FALSE(w.flags().sessionActive);
            EXPECT_EQ(StatusText(w), "MODEM DISCONNECTED");
            StartModem(port);
            QTest::qWait(2500);
            EXPECT_FALSE(w.flags().sessionActive) << "retried after Disconnect";
        } else {
            ASSERT_TRUE(WaitUntil([&] { return Count("Link restored") == 1; }, 15s))
                << StatusText(w);
            ASSERT_TRUE(WaitActive(w));
            EXPECT_EQ(Count(startup), 2) << "start-up commands not run again";
            EXPECT_LT(ReceiveText(w).indexOf("Link lost"), ReceiveText(w).indexOf("Link restored"));
            auto* command = Control<QLineEdit>(w, kIdCommandLine);
            command->setText("I");
            QTest::keyClick(command, Qt::Key_Return);
            EXPECT_TRUE(WaitUntil([&] { return Count("DEMO1") >= 2; }));
            // A failure that reaches the window only after the operator ended its
            // session and started the next leaves the next one running.
            w.session().Post(UiEvent::Error("The modem closed the Telnet connection"));
            w.Disconnect(false);
            w.Connect(false);
            ASSERT_TRUE(WaitActive(w)) << StatusText(w);
            EXPECT_TRUE(w.flags().sessionActive && w.session().sessionActive());
        }
        windows[0].reset();
        sim.reset();
    }
}

TEST_F(WindowLinkTest, DisconnectDuringTheDialogueOrTheConnectEndsTheAttemptAtOnce) {
    StartModem(0, 5);
    testing::UnansweredTcpServer unanswered;
    // A chattering modem keeps the dialogue going; a full accept queue keeps
    // the connect waiting for its 5 s limit.
    for (const std::uint16_t port : {sim->modem(0).tcpPort(), unanswered.port()}) {
        SCOPED_TRACE(port);
        Application& w = Open(0, "telnet=127.0.0.1\n");
        Click(w, kIdNetworkSelector);
        Control<QLineEdit>(w, kIdTcpPort)->setText(QString::number(port));
        Click(w, kIdPortButton);
        EXPECT_EQ(StatusText(w), "STARTING HOSTMODE...");
        ASSERT_TRUE(w.flags().sessionActive);
        QTest::qWait(300);
        QElapsedTimer clock;
        clock.start();
        Click(w, kIdPortButton);
        // Well short of the 5 s connect limit it would otherwise wait out.
        EXPECT_LT(clock.elapsed(), 3000) << "cancelling waited for the attempt";
        EXPECT_FALSE(w.session().HasTransport());
        EXPECT_FALSE(w.flags().sessionActive);
        EXPECT_EQ(StatusText(w), "MODEM DISCONNECTED");
    }
}

}  // namespace
}  // namespace corvina
