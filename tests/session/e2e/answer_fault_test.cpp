// A modem that answers at all is asked again with the identical request until
// its answer gets through, so received text arrives once; a silent one is not.
#include <gtest/gtest.h>

#include <algorithm>

#include "e2e/velksim_harness.h"

namespace corvina::testing {
namespace {

TEST(AnswerFaults, AModemThatAnswersIsAskedAgainUntilItsTextGetsThroughOnce) {
    // One letter per attempt of the polls that fetch b's received text:
    // c a bad CRC, s silence, l an answer too late for its attempt, m a marker
    // ahead of the answer in the same read; then the modem answers normally.
    const struct {
        std::string script;
        std::size_t attempts;  // of the first fetch
        bool delivered;
    } cases[] = {
        {"m", 1, true},      {"cccccls", 7, true},   {"ls", 2, true},
        {"scscs", 5, false}, {"cccccccc", 8, false},
    };
    const std::string text = "text fetched once\r\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        StationPair pair;
        ASSERT_TRUE(pair.Connect());
        ASSERT_TRUE(pair.Call());
        velksim::Faults& faults = pair.sim->modem(1).faults();
        pair.log.SetHook(
            [&faults, script = c.script, at = std::size_t{0}](const std::string& line) mutable {
                if (!line.starts_with("XY2Z < ")) {
                    return;
                }
                const bool fetch = line.starts_with("XY2Z < ch 4 cmd") && line.ends_with("'G'");
                const char fault = fetch && at < script.size() ? script[at++] : '.';
                faults.corruptEveryNth = fault == 'c' ? 1 : 0;
                faults.dropEveryNth = fault == 's' ? 1 : 0;
                faults.lateEveryNth = fault == 'l' ? 1 : 0;
                faults.markerEveryNth = fault == 'm' ? 1 : 0;
            });
        const std::size_t before = pair.log.Requests("XY2Z").size();
        const std::uint64_t repeatedBefore = pair.sim->modem(1).counters().repetitions;
        ASSERT_TRUE(pair.a.session.QueueData(ToBytes(text), OutboundKind::TransmitText));
        ASSERT_TRUE(
            c.delivered
                ? Eventually(
                      [&] {
                          return pair.b.Shown(HostOutputKind::ReceivedText).size() >= text.size();
                      },
                      15s)
                : pair.b.sink.WaitFor(IsError("CRC Hostmode request timed out after retries"), 15s)
                      .has_value());
        EXPECT_EQ(pair.b.Shown(HostOutputKind::ReceivedText), c.delivered ? text : "");
        EXPECT_EQ(pair.b.Errors(), c.delivered ? 0u : 1u);
        // Every attempt after the first is a repetition velksim answers again,
        // and a fetch that gave up is never asked once more.
        EXPECT_EQ(pair.sim->modem(1).counters().repetitions - repeatedBefore, c.attempts - 1);
        if (!c.delivered) {
            const auto requests = pair.log.Requests("XY2Z");
            EXPECT_EQ(std::count_if(
                          requests.begin() + static_cast<std::ptrdiff_t>(before), requests.end(),
                          [](const LoggedRequest& r) { return r.channel == 4 && r.text == "G"; }),
                      static_cast<std::ptrdiff_t>(c.attempts));
        }
        pair.log.SetHook({});
        pair.a.session.Disconnect(false);
        pair.b.session.Disconnect(false);
    }
}

}  // namespace
}  // namespace corvina::testing
