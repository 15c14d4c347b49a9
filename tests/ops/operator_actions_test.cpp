#include "ops/operator_actions.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <string>
#include <tuple>

#include "support/hostmode_wire.h"
#include "support/recording_event_sink.h"

namespace corvina {
namespace {

using testing::ToBytes;

// The window surface, recorded: a transmit pane as text with its sent part.
class FakeConsole : public OperatorConsole {
  public:
    std::u16string pane;
    std::size_t committed = 0;
    std::u16string status;
    bool statusIsError = false;
    int timerMs = 0;

    std::u16string PendingTransmitText() override { return pane.substr(committed); }
    void CommitTransmitLine() override {
        pane += u"\r\n";
        committed = pane.size();
    }
    void InsertTransmitMarker(std::u16string_view marker) override {
        pane.insert(committed, marker);
        committed += marker.size();
    }
    std::u16string CallSignText() const override { return {}; }
    void SetCallSignText(std::u16string_view) override {}
    int FecModeIndex() const override { return -1; }  // no mode chosen
    void SetStatus(std::u16string_view text, bool isError) override {
        status = text;
        statusIsError = isError;
    }
    void UpdateConnectionUi() override {}
    void StartBroadcastTimer(int timeoutMs) override { timerMs = timeoutMs; }
};

class OperatorActionsTest : public ::testing::Test {
  protected:
    OperatorActionsTest() { flags.sessionActive = true; }

    std::deque<testing::Bytes> Commands() {
        return session.WithQueues([](HostQueues& q) { return q.commandQueue; });
    }
    std::deque<OutboundItem> Data() {
        return session.WithQueues([](HostQueues& q) { return q.outboundQueue; });
    }

    testing::RecordingEventSink sink;
    HostSession session{sink, std::filesystem::temp_directory_path()};
    WindowFlags flags;
    FakeConsole console;
    OperatorActions actions{session, flags, console};
};

TEST_F(OperatorActionsTest, TransmitLinesNeedALinkThatCanSendAndDisconnectDropsQueuedData) {
    console.pane = u"two\nlines";
    actions.SubmitTransmitText();  // no link
    flags.arqActive = true;
    session.arqConnected = true;
    session.incomingTransferActive = true;
    actions.SubmitTransmitText();
    EXPECT_TRUE(console.status.empty());

    session.incomingTransferActive = false;
    session.linkCanSend = false;  // the window still believes in the link
    actions.SubmitTransmitText();
    EXPECT_EQ(console.committed, 0U);
    EXPECT_EQ(console.status, u"SIRVEX transmit path is no longer active");
    EXPECT_TRUE(console.statusIsError);
    EXPECT_TRUE(Data().empty());

    session.linkCanSend = true;
    for (const auto& [typed, sent] : {std::pair<std::u16string, std::string>{u"", "two\rlines\r\n"},
                                      {u"", "\r\n"},
                                      {u"ends in cr\r", "ends in cr\r\n"}}) {
        console.pane += typed;
        actions.SubmitTransmitText();
        EXPECT_EQ(Data().back().bytes, ToBytes(sent)) << sent;
        EXPECT_EQ(console.committed, console.pane.size());
    }
    EXPECT_EQ(Data().size(), 3U);
    console.pane += u"typing";
    actions.RequestChangeover(true);  // while receiving: the bare command
    EXPECT_EQ(Commands().back(), ToBytes("%O"));
    actions.DisconnectArq();
    EXPECT_EQ(console.pane,
              u"two\nlines\r\n\r\nends in cr\r\r\n<Changeover / Break-in>\r\n<Disconnect "
              u"ARQ>\r\ntyping");
    EXPECT_EQ(Commands().back(), ToBytes("D"));
    EXPECT_TRUE(Data().empty());  // the modem must not be kept sending it
}

// The end waits as long as the modem's held frames need on air at the
// broadcast's level, and no longer.
TEST_F(OperatorActionsTest, BroadcastNeedsAModeAndItsEndWaitsForTheLevelsRate) {
    actions.ToggleFecBroadcast();  // no mode chosen
    EXPECT_FALSE(flags.fecStarting);
    // 2048 bytes at the level's rate, and the longest wait allowed.
    for (const auto& [level, minimumMs, maximumMs] :
         {std::tuple{1, 68267, 120000}, {3, 6400, 30000}, {4, 2926, 30000}, {0, 68267, 120000}}) {
        SCOPED_TRACE(level);
        flags.fecActive = true;
        flags.fecEnding = false;
        flags.level = static_cast<std::uint8_t>(level);
        actions.ToggleFecBroadcast();
        EXPECT_TRUE(flags.fecEnding);
        EXPECT_GE(console.timerMs, minimumMs);
        EXPECT_LE(console.timerMs, maximumMs);
    }
    console.timerMs = 0;
    actions.ToggleFecBroadcast();  // already ending
    EXPECT_EQ(console.timerMs, 0);
}

}  // namespace
}  // namespace corvina
