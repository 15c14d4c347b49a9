#include <gtest/gtest.h>

#include "scripted_modem.h"
#include "session/host_session.h"
#include "support/eventually.h"
#include "support/recording_event_sink.h"
#include "support/temporary_folder.h"

namespace corvina::testing {
namespace {

// Start-ups that fail or go on regardless, against a modem that answers as
// told (velksim never stays without a prompt, fails a read or garbles "L").
TEST(SessionStart, MissingPromptDeadLinkAndGarbledLinkStatus) {
    const struct {
        const char* name;
        std::string failure;
        std::string error;  // empty: the session comes up
    } cases[] = {
        {"no prompt until the fourth escape", "", ""},
        {"link fails in the dialogue", "COM read failed: Input/output error", ""},
        {"garbled link status", "", "Invalid response to Hostmode L command"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto script = std::make_shared<ModemScript>();
        script->failure = c.failure;
        TemporaryFolder folder;
        RecordingEventSink sink;
        HostSession session(sink, folder.path());
        SessionSettings settings;
        settings.terminalCommands = {ToBytes("MYCALL AB1CD")};
        std::string error;
        const bool started =
            session.Start(std::make_unique<ScriptedModem>(script), settings, error);
        if (!c.failure.empty()) {
            EXPECT_FALSE(started);
            EXPECT_EQ(error, c.failure);
            EXPECT_FALSE(session.HasTransport());
            EXPECT_FALSE(session.sessionActive());
            EXPECT_FALSE(session.Disconnect(false));
            EXPECT_EQ(sink.Count(IsKind(UiEventKind::HostErrorEvent)), 0u);
            continue;
        }
        ASSERT_TRUE(started) << error;
        ASSERT_TRUE(
            sink.WaitFor(IsKind(UiEventKind::HostmodeActiveEvent), std::chrono::seconds(10)));
        ASSERT_TRUE(Eventually([&] { return session.arqConnected.load(); }));
        if (c.error.empty()) {
            std::lock_guard<std::mutex> lock(script->mutex);
            const std::string start = "\x1bQUIT\r\x1bQUIT\r\x1bQUIT\rQUIT\r\x1bMYCALL AB1CD\r";
            EXPECT_EQ(script->terminalLog.substr(0, start.size()), start);
            EXPECT_TRUE(script->terminalLog.ends_with("\x1bKTMC 0\r\x1bJHOST5\r"));
        } else {
            ASSERT_TRUE(session.QueueData(ToBytes("x"), OutboundKind::TransmitText));
            EXPECT_TRUE(sink.WaitFor(IsError(c.error), std::chrono::seconds(5)));
        }
        EXPECT_TRUE(session.Disconnect(false));
    }
}

}  // namespace
}  // namespace corvina::testing
