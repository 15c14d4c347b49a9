#include <gtest/gtest.h>

#include "link/tcp_test_server.h"
#include "link/telnet_transport.h"
#include "session_harness.h"

namespace corvina::testing {
namespace {

Bytes B(const std::string& text) {
    return ToBytes(text);
}

TEST(SessionStart, StartUpSendsTerminalCommandsThenMycallHostCommandsIdentityAndStatus) {
    SessionHarness h;
    h.settings.terminalCommands = {B("MYCALL AB1CD"), B("MY XY2Z*")};
    h.settings.hostmodeCommands = {B("@B 1"), B("@T2 300")};
    h.modem.SetCallSign("xy2z*");
    ASSERT_TRUE(h.StartAndWaitActive()) << h.startError;

    EXPECT_EQ(h.modem.TerminalLog(),
              "\x1bMYCALL AB1CD\r\x1bMY XY2Z*\r\x1bSTATUS 2\r\x1bKTMC 0\r\x1bJHOST5\r");
    const auto requests = h.modem.Requests();
    const std::vector<std::string> expected = {"%M 1", "I XY2Z*", "@B 1", "@T2 300",
                                               "I",    "C",       "G 3"};
    ASSERT_GE(requests.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i]);
        EXPECT_TRUE(requests[i].request.command);
        EXPECT_EQ(requests[i].request.Text(), expected[i]);
        EXPECT_EQ(requests[i].request.channel, i + 1 == expected.size() ? 254 : 4);
    }
    EXPECT_EQ(h.session.OwnCall(), "XY2Z*");
    EXPECT_EQ(h.session.ConnectedPeer(), "");

    // The host commands are shown before the session reports itself active.
    const auto events = h.sink.Events();
    std::vector<std::string> shown;
    bool activeSeen = false;
    for (const UiEvent& event : events) {
        if (event.kind == UiEventKind::HostmodeActiveEvent) {
            activeSeen = true;
        }
        if (const HostOutput* output = event.hostOutput();
            output != nullptr && output->kind == HostOutputKind::CommandText) {
            EXPECT_FALSE(activeSeen);
            shown.push_back(ToString(output->bytes));
        }
    }
    EXPECT_EQ(shown,
              (std::vector<std::string>{
                  "[startup.txt Term] > MYCALL AB1CD\r\n", "[startup.txt Term] > MY XY2Z*\r\n",
                  "[startup.txt Host] > @B 1\r\n", "[startup.txt Host] > @T2 300\r\n"}));
}

TEST(SessionStart, PromptHandlingLeavesSubMenusAndGoesOnWithoutAPrompt) {
    struct Case {
        const char* name;
        // Reply to each escape, in order; later escapes get "cmd: ".
        std::vector<std::string> escapeReplies;
        std::string expectedLogStart;
    };
    const Case cases[] = {
        {"ready at once", {"\r\ncmd: "}, "\x1bSTATUS 2\r"},
        {"cmd after pac is ready", {"pac: \r\ncmd: "}, "\x1bSTATUS 2\r"},
        {"sub-menu prompt last", {"cmd: \r\npac: "}, "\x1bQ\r\x1bSTATUS 2\r"},
        {"no prompt", {"VELK\r\n"}, "\x1bQUIT\r\x1bSTATUS 2\r"},
        {"never a command prompt",
         {"", "", ""},
         "\x1bQUIT\r\x1bQUIT\r\x1bQUIT\rQUIT\r\x1bSTATUS 2\r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SessionHarness h;
        auto escapes = std::make_shared<std::size_t>(0);
        h.modem.SetTerminalHandler(
            [escapes, replies = c.escapeReplies](const std::string& written, std::string& reply) {
                if (written == "\x1b") {
                    if (*escapes < replies.size()) {
                        reply = replies[*escapes];
                    }
                    ++*escapes;
                } else if (written.rfind("QUIT", 0) == 0 || written == "Q\r") {
                    reply.clear();  // leaving a menu prints nothing here
                }
            });
        ASSERT_TRUE(h.StartAndWaitActive()) << h.startError;
        const std::string log = h.modem.TerminalLog();
        EXPECT_EQ(log.substr(0, c.expectedLogStart.size()), c.expectedLogStart) << log;
        EXPECT_EQ(log.substr(log.size() - 7), "JHOST5\r");
    }
}

TEST(SessionStart, ChatteringModemDoesNotHoldTheConnectionAttempt) {
    SessionHarness h(4, nullptr, TerminalDialogueLimits{std::chrono::milliseconds(150)});
    h.modem.SetChatter(true);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(h.StartAndWaitActive()) << h.startError;
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    EXPECT_NE(h.modem.TerminalLog().find("KTMC 0\r\x1bJHOST5\r"), std::string::npos);
}

TEST(SessionStart, LinkFailureDuringDialogueFailsAndReleasesTheTransport) {
    SessionHarness h;
    h.modem.FailReads("COM read failed: Input/output error");
    std::string error;
    EXPECT_FALSE(h.session.Start(h.modem.MakeTransport(), h.settings, error));
    EXPECT_EQ(error, "COM read failed: Input/output error");
    EXPECT_FALSE(h.session.HasTransport());
    EXPECT_FALSE(h.session.sessionActive());
    EXPECT_FALSE(h.session.Disconnect(false));
    EXPECT_EQ(h.sink.Count(IsKind(UiEventKind::HostErrorEvent)), 0u);
}

TEST(SessionStart, BackgroundStartReportsItsOutcomeAndIsCancelledAtOnce) {
    enum class Outcome { Active, LinkFails, Cancelled, CancelledWhileConnecting };
    UnansweredTcpServer unanswered;
    for (const Outcome outcome : {Outcome::Active, Outcome::LinkFails, Outcome::Cancelled,
                                  Outcome::CancelledWhileConnecting}) {
        SCOPED_TRACE(static_cast<int>(outcome));
        SessionHarness h;
        h.modem.FailReads(outcome == Outcome::LinkFails ? "COM read failed: gone" : "");
        h.modem.SetChatter(outcome == Outcome::Cancelled);
        const auto started = std::chrono::steady_clock::now();
        // The connect to a full accept queue would wait out its 5 s limit.
        h.session.StartInBackground(outcome == Outcome::CancelledWhileConnecting
                                        ? CreateTelnetTransport("127.0.0.1", unanswered.port())
                                        : h.modem.MakeTransport(),
                                    true, h.settings);
        switch (outcome) {
            case Outcome::Active:
                EXPECT_TRUE(h.sink.WaitFor(IsKind(UiEventKind::HostmodeActiveEvent), 5s));
                EXPECT_TRUE(h.session.sessionActive());
                break;
            case Outcome::LinkFails: {
                const auto failed = h.sink.WaitFor(IsKind(UiEventKind::HostErrorEvent), 5s);
                ASSERT_TRUE(failed && failed->errorText());
                EXPECT_EQ(*failed->errorText(), "COM read failed: gone");
                EXPECT_TRUE(h.session.EndedByLinkFailure(*failed->errorText()));
                break;
            }
            case Outcome::Cancelled:
            case Outcome::CancelledWhileConnecting:
                std::this_thread::sleep_for(200ms);
                EXPECT_TRUE(h.session.Disconnect(true));
                // Far below the limits of the dialogue and of the connect.
                EXPECT_LT(std::chrono::steady_clock::now() - started, 4s);
                EXPECT_FALSE(h.session.HasTransport());
                EXPECT_EQ(h.sink.Count(IsKind(UiEventKind::HostErrorEvent)), 0u);
                EXPECT_EQ(h.modem.TerminalLog().find("JHOST"), std::string::npos);
                break;
        }
    }
}

TEST(SessionStart, RejectedMyCommandEndsTheWorkerWithTheModemsText) {
    struct Case {
        std::uint8_t code;
        std::string text;
        std::string expected;
    };
    const Case cases[] = {
        {2, "INVALID CALLSIGN",
         "startup.txt MY command was rejected by the modem: INVALID CALLSIGN"},
        {1, "", "startup.txt MY command was rejected by the modem"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        SessionHarness h;
        h.settings.terminalCommands = {B("MYCALL AB1CD")};
        h.modem.SetHandler([&c](const FakeModem::Request& r, Bytes& answer) {
            if (r.request.Text() == "I AB1CD") {
                answer = ResponseFrame(r.request.channel, c.code, c.text);
            }
        });
        std::string error;
        ASSERT_TRUE(h.session.Start(h.modem.MakeTransport(), h.settings, error)) << error;
        EXPECT_TRUE(h.sink.WaitFor(IsError(c.expected), 5s));
        EXPECT_EQ(h.sink.Count(IsKind(UiEventKind::HostmodeActiveEvent)), 0u);
        EXPECT_TRUE(h.session.Disconnect(false));
    }
}

}  // namespace
}  // namespace corvina::testing
