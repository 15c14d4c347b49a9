#include <gtest/gtest.h>

#include "window_harness.h"

namespace corvina {
namespace {

using namespace testing_support;

class SendSessionEnd : public StationWindowsTest {};

// A send that the end of the session takes along says so in the echo pane,
// whether the link to the modem failed (the window heals it) or the operator
// closed it.
TEST_F(SendSessionEnd, TheEchoPaneSaysTheSendEnded) {
    for (const bool failure : {true, false}) {
        SCOPED_TRACE(failure ? "link to the modem failed" : "operator closed the port");
        windows[0].reset();
        StartModem();
        ChooseFile(0, "long.txt", std::string(4000, 'x'));
        Application& window = Open(0, "telnet=127.0.0.1\nautostart=on\n");
        ASSERT_TRUE(WaitActive(window));
        Click(window, kIdBroadcast);
        auto* textButton = Control<QPushButton>(window, kIdTextFile);
        ASSERT_TRUE(WaitUntil([&] { return textButton->isEnabled(); }));
        QTest::mouseClick(textButton, Qt::LeftButton);
        ASSERT_TRUE(window.session().fileSendActive.load());
        if (failure) {
            sim->modem(0).faults().closeAtRequest = 1;  // its next request
        } else {
            window.Disconnect(true);
        }
        EXPECT_TRUE(WaitForText(EchoText, window, "Text file transfer ended: the session ended"));
        EXPECT_FALSE(window.session().fileSendActive.load());
    }
}

}  // namespace
}  // namespace corvina
