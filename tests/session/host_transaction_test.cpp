#include <gtest/gtest.h>

#include <atomic>

#include "session_harness.h"

namespace corvina::testing {
namespace {

TEST(HostTransaction, GarbledAnswerSendsTheIdenticalRequestAgainAtOnce) {
    struct Case {
        const char* name;
        std::function<Bytes(Bytes)> garble;
    };
    const Case cases[] = {
        {"corrupted CRC",
         [](Bytes answer) {
             answer.back() ^= 0x01;
             return answer;
         }},
        {"marker before the answer",
         [](Bytes) {
             return Bytes{0xAA, 0xAA, 0xAA, 0x55};
         }},
        {"broken stuffing",
         [](Bytes) {
             return Bytes{0xAA, 0xAA, 0x04, 0xAA, 0x17};
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SessionHarness h;
        auto garbled = std::make_shared<std::atomic<bool>>(false);
        h.modem.SetHandler([&c, garbled](const FakeModem::Request& r, Bytes& answer) {
            if (r.request.Text() == "C" && !garbled->exchange(true)) {
                answer = c.garble(answer);
            }
        });
        ASSERT_TRUE(h.StartAndWaitActive()) << h.startError;
        const auto sent = h.RequestsWithText("C");
        ASSERT_EQ(sent.size(), 2u);
        EXPECT_EQ(sent[0].request.raw, sent[1].request.raw);
        EXPECT_LT(sent[1].at - sent[0].at, 600ms);
        EXPECT_EQ(h.sink.Count(IsKind(UiEventKind::HostErrorEvent)), 0u);
    }
}

TEST(HostTransaction, AnswerOnAnotherChannelFirstIsDropped) {
    SessionHarness h;
    h.modem.SetHandler([](const FakeModem::Request& r, Bytes& answer) {
        if (r.request.Text() == "I") {
            Bytes noise = ResponseFrame(9, 1, std::string("NOISE"));
            noise.insert(noise.end(), answer.begin(), answer.end());
            answer = noise;
        }
    });
    ASSERT_TRUE(h.StartAndWaitActive()) << h.startError;
    EXPECT_EQ(h.session.OwnCall(), "AB1CD");
    EXPECT_EQ(h.RequestsWithText("I").size(), 1u);
    EXPECT_EQ(JoinedOutput(h.sink.Events(), HostOutputKind::ReceivedText).find("NOISE"),
              std::string::npos);
}

TEST(HostTransaction, LateAnswerIsNeverTakenForTheAnswerToTheNextRequest) {
    // The first attempt of the command goes unanswered; its answer comes after
    // the answer to the repetition, before the next request is written. "G"
    // fetches received data; "HOLD" is answered with code 0 and followed by "L"
    // (on the TCP link due data goes before the pending-output poll).
    for (const std::string late : {"G", "HOLD"}) {
        SCOPED_TRACE(late);
        SessionHarness h;
        h.settings.isTelnetLink = true;
        StartWithArqLink(h);
        h.modem.SetHandler([&](const FakeModem::Request& r, Bytes& answer) {
            if (r.request.channel == 4 && IsCommand(r, late)) {
                if (!r.repeated) {
                    answer.clear();
                } else {
                    h.modem.SendLaterLocked(answer);
                }
            }
        });
        const bool received = late == "G";
        if (received) {
            h.modem.QueueLinkOutputs({{7, ToBytes("hello\r\n")}}, false);
        } else {
            h.session.QueueCommand(ToBytes(late));
            ASSERT_TRUE(h.session.QueueData(ToBytes("data\r\n"), OutboundKind::TransmitText));
        }
        const auto shown = [&] {
            return JoinedOutput(h.sink.Events(), HostOutputKind::ReceivedText);
        };
        EXPECT_TRUE(Eventually([&] {
            return h.sink.Count(IsKind(UiEventKind::HostErrorEvent)) > 0 ||
                   !(received ? shown() : ToString(h.modem.DataLog())).empty();
        }));
        std::this_thread::sleep_for(600ms);
        EXPECT_EQ(shown(), received ? "hello\r\n" : "");
        EXPECT_EQ(ToString(h.modem.DataLog()), received ? "" : "data\r\n");
        EXPECT_EQ(h.sink.Count(IsKind(UiEventKind::HostErrorEvent)), 0u);
    }
}

TEST(HostTransaction, SilentModemTimesOutAfterThreeAttemptsAboutASecondApart) {
    SessionHarness h;
    h.modem.SetHandler([](const FakeModem::Request& r, Bytes& answer) {
        if (r.request.channel == 254) {
            answer.clear();
        }
    });
    std::string error;
    ASSERT_TRUE(h.session.Start(h.modem.MakeTransport(), h.settings, error)) << error;
    ASSERT_TRUE(h.sink.WaitFor(IsError("CRC Hostmode request timed out after retries"), 6s));

    const auto sent = h.RequestsWithText("G 3");
    ASSERT_EQ(sent.size(), 3u);
    for (std::size_t i = 1; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i].request.raw, sent[0].request.raw);
        const auto gap = sent[i].at - sent[i - 1].at;
        EXPECT_GE(gap, 1150ms);
        EXPECT_LT(gap, 2000ms);
    }
    EXPECT_EQ(h.sink.Count(IsKind(UiEventKind::HostmodeActiveEvent)), 0u);
    h.session.Disconnect(false);
}

TEST(HostTransaction, DeadLinkEndsTheWorkerWithTheTransportsText) {
    SessionHarness h;
    ASSERT_TRUE(h.StartAndWaitActive()) << h.startError;
    h.modem.FailReads("The modem closed the Telnet connection");
    EXPECT_TRUE(h.sink.WaitFor(IsError("The modem closed the Telnet connection"), 3s));
    EXPECT_EQ(h.sink.Count(IsKind(UiEventKind::HostErrorEvent)), 1u);
    EXPECT_TRUE(h.session.Disconnect(false));
}

}  // namespace
}  // namespace corvina::testing
