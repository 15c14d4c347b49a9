#include <gtest/gtest.h>

#include "scripted_modem.h"
#include "velksim_harness.h"

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
        Station s;
        s.settings.terminalCommands = {ToBytes("MYCALL AB1CD")};
        std::string error;
        const bool started =
            s.session.Start(std::make_unique<ScriptedModem>(script), s.settings, error);
        if (!c.failure.empty()) {
            EXPECT_FALSE(started);
            EXPECT_EQ(error, c.failure);
            EXPECT_FALSE(s.session.HasTransport());
            EXPECT_FALSE(s.session.sessionActive());
            EXPECT_FALSE(s.session.Disconnect(false));
            EXPECT_EQ(s.Errors(), 0u);
            continue;
        }
        ASSERT_TRUE(started) << error;
        ASSERT_TRUE(s.sink.WaitFor(IsKind(UiEventKind::HostmodeActiveEvent), 10s));
        ASSERT_TRUE(Eventually([&] { return s.session.arqConnected.load(); }));
        if (c.error.empty()) {
            std::lock_guard<std::mutex> lock(script->mutex);
            const std::string start = "\x1bQUIT\r\x1bQUIT\r\x1bQUIT\rQUIT\r\x1bMYCALL AB1CD\r";
            EXPECT_EQ(script->terminalLog.substr(0, start.size()), start);
            EXPECT_TRUE(script->terminalLog.ends_with("\x1bKTMC 0\r\x1bJHOST5\r"));
        } else {
            ASSERT_TRUE(s.session.QueueData(ToBytes("x"), OutboundKind::TransmitText));
            EXPECT_TRUE(s.sink.WaitFor(IsError(c.error), 5s));
        }
        EXPECT_TRUE(s.session.Disconnect(false));
    }
}

using MyCall = OneModem;

TEST_F(MyCall, TheModemRejectsEndsTheWorkerWithItsReason) {
    Station& s = station;
    s.settings.terminalCommands = {ToBytes("MYCALL AB*1CD")};
    ASSERT_TRUE(s.Connect(modem, false, 10s, false));
    EXPECT_TRUE(s.sink.WaitFor(
        IsError("startup.txt MY command was rejected by the modem: INVALID CALLSIGN"), 10s));
    const std::uint64_t sent = modem.counters().requestsTotal;
    EXPECT_TRUE(s.session.Disconnect(false));
    EXPECT_EQ(modem.counters().requestsTotal, sent);  // nothing more after the error
    EXPECT_EQ(s.sink.Count(IsKind(UiEventKind::HostmodeActiveEvent)), 0u);
}

}  // namespace
}  // namespace corvina::testing
