#include <gtest/gtest.h>

#include "sim/simulator.h"
#include "window_harness.h"

namespace corvina {
namespace {

using namespace testing_support;

// A send that the end of the session takes along says so in the echo pane,
// whether the link to the modem failed (the window heals it) or the operator
// closed it.
TEST(SendSessionEnd, TheEchoPaneSaysTheSendEnded) {
    TestApplication();
    for (const bool failure : {true, false}) {
        SCOPED_TRACE(failure ? "link to the modem failed" : "operator closed the port");
        velksim::SimulatorOptions options;
        options.modems.push_back(velksim::ModemOptions{});
        options.modems.back().name = "DEMO1";
        velksim::Simulator sim(std::move(options));
        std::string error;
        ASSERT_TRUE(sim.Start(error)) << error;
        ScratchFolder folder;
        FakeDiscovery discovery;
        folder.Write("startup.txt",
                     "[Term]\nMYCALL DEMO1\n[Modem]\ntelnet=127.0.0.1\nautostart=on\n");
        folder.Write("long.txt", std::string(4000, 'x'));
        ApplicationOptions appOptions = discovery.Options(folder.path());
        const QString file = QString::fromStdString((folder.path() / "long.txt").string());
        appOptions.chooseFile = [file](QWidget*, const QString&) { return file; };
        Application window(std::move(appOptions));
        Control<QLineEdit>(window, kIdTcpPort)->setText(QString::number(sim.modem(0).tcpPort()));
        window.show();
        ASSERT_TRUE(WaitUntil([&] { return StatusText(window) == "HOSTMODE ACTIVE"; }));
        QTest::mouseClick(Control<QPushButton>(window, kIdBroadcast), Qt::LeftButton);
        auto* textButton = Control<QPushButton>(window, kIdTextFile);
        ASSERT_TRUE(WaitUntil([&] { return textButton->isEnabled(); }));
        QTest::mouseClick(textButton, Qt::LeftButton);
        ASSERT_TRUE(window.session().fileSendActive.load());
        if (failure) {
            sim.modem(0).faults().closeAtRequest = 1;  // its next request
        } else {
            window.Disconnect(true);
        }
        EXPECT_TRUE(WaitUntil([&] {
            return Control<EchoPane>(window, kIdEchoPane)
                ->toPlainText()
                .contains(QStringLiteral("Text file transfer ended: the session ended"));
        }));
        EXPECT_FALSE(window.session().fileSendActive.load());
    }
}

}  // namespace
}  // namespace corvina
