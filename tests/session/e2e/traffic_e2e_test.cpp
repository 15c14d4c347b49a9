// Commands and channel data through velksim: what reaches the modem, in which
// frames and at which pace.
#include <gtest/gtest.h>

#include "cvhost/sirvex_commands.h"
#include "e2e/velksim_harness.h"

namespace corvina::testing {
namespace {

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    }
    return bytes;
}

// Starts a broadcast so the modem takes channel data, and waits until the
// status poll has seen it.
void StartBroadcast(Station& station) {
    station.session.linkState = kLinkFec;
    station.session.QueueCommand(cvhost::BuildSirvexFecStartCommand(cvhost::SirvexFecMode::S1));
    ASSERT_TRUE(Eventually([&] { return station.session.linkCanSend.load(); }, 5s));
}

TEST(TrafficE2E, CommandsReachTheModemUnchangedAndErrorsComeBackAsText) {
    SimLog log;
    auto sim = StartSimulator({"AB1CD"}, log);
    ASSERT_TRUE(sim);
    Station station;
    std::string error;
    ASSERT_TRUE(station.ConnectTcp(sim->modem(0), error)) << error;
    ASSERT_TRUE(station.WaitActive());

    ASSERT_EQ(
        station.session.SubmitCommand({'N', 'O', ' ', 'S', 'U', 'C', 'H', '\r', '\n'}).outcome,
        HostSession::SubmitOutcome::Queued);
    station.session.QueueCommand({'I'});
    const auto shown = station.sink.WaitFor(
        IsOutputContaining(HostOutputKind::ReceivedText, "*** HOSTMODE ERROR: "), 3s);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->hostOutput()->bytes.back(), '\n');
    ASSERT_TRUE(
        station.sink.WaitFor(IsOutputContaining(HostOutputKind::ReceivedText, "AB1CD\r\n"), 3s));

    const auto requests = log.Requests("AB1CD");
    std::vector<std::string> sent;
    for (const auto& r : requests) {
        if (r.channel == 4 && (r.text == "NO SUCH" || r.text == "I"))
            sent.push_back(r.text);
    }
    // "I" was also sent once during the start-up.
    EXPECT_EQ(sent, (std::vector<std::string>{"I", "NO SUCH", "I"}));
    EXPECT_EQ(station.sink.Count(IsKind(UiEventKind::HostErrorEvent)), 0u);
    station.session.Disconnect(true);
}

TEST(TrafficE2E, DataGoesOutAfterLinkQueriesAndWaitsWhileTheModemIsFull) {
    SimLog log;
    auto sim = StartSimulator({"AB1CD"}, log);
    ASSERT_TRUE(sim);
    Station station;
    std::string error;
    ASSERT_TRUE(station.ConnectTcp(sim->modem(0), error)) << error;
    ASSERT_TRUE(station.WaitActive());
    StartBroadcast(station);

    sim->modem(0).faults().reportFramesWaiting = 8;
    ASSERT_TRUE(station.session.QueueData(Pattern(600, 1), OutboundKind::TransmitText));
    std::this_thread::sleep_for(1200ms);
    EXPECT_EQ(sim->modem(0).counters().dataBytesAccepted, 0u);
    sim->modem(0).faults().reportFramesWaiting = -1;
    ASSERT_TRUE(Eventually([&] { return sim->modem(0).counters().dataBytesAccepted == 600; }, 5s));

    // While full, "L" is asked every 500 ms; afterwards each frame follows its
    // own "L", at least 100 ms after the previous one (less 5 ms for the
    // delivery jitter of times taken where the modem receives them).
    const auto requests = log.Requests("AB1CD");
    std::vector<std::chrono::steady_clock::time_point> queries;
    std::vector<std::size_t> queryOf;  // for each data frame, the index of its "L"
    for (const auto& r : requests) {
        if (r.channel == 4 && r.command && r.text == "L") {
            queries.push_back(r.at);
        } else if (!r.command) {
            queryOf.push_back(queries.size());
        }
    }
    ASSERT_EQ(queryOf.size(), 3u);
    EXPECT_LT(queryOf[0], queryOf[1]);
    EXPECT_LT(queryOf[1], queryOf[2]);
    ASSERT_GE(queries.size(), 4u);
    const std::size_t fullQueries = queryOf[0] - 1;
    EXPECT_GE(fullQueries, 2u);
    EXPECT_LE(fullQueries, 4u);
    for (std::size_t i = 1; i < fullQueries; ++i) {
        EXPECT_GE(queries[i] - queries[i - 1], 480ms);
    }
    EXPECT_GE(queries[queryOf[1] - 1] - queries[queryOf[0] - 1], 95ms);
    EXPECT_GE(queries[queryOf[2] - 1] - queries[queryOf[1] - 1], 95ms);
    station.session.Disconnect(true);
}

TEST(TrafficE2E, RefusedDataIsOfferedAgainWhileTheLinkLasts) {
    SimLog log;
    auto sim = StartSimulator({"AB1CD"}, log);
    ASSERT_TRUE(sim);
    Station station;
    std::string error;
    ASSERT_TRUE(station.ConnectTcp(sim->modem(0), error)) << error;
    ASSERT_TRUE(station.WaitActive());
    StartBroadcast(station);
    sim->modem(0).faults().rejectData = true;
    ASSERT_TRUE(station.session.QueueData({'h', 'i', '\r', '\n'}, OutboundKind::TransmitText));
    ASSERT_TRUE(Eventually([&] { return sim->modem(0).counters().dataFramesRejected >= 3; }, 5s));
    sim->modem(0).faults().rejectData = false;
    ASSERT_TRUE(Eventually([&] { return sim->modem(0).counters().dataBytesAccepted == 4; }, 5s));

    const std::string shown = JoinedOutput(station.sink.Events(), HostOutputKind::ReceivedText);
    EXPECT_EQ(shown, "*** HOSTMODE ERROR: DATA REJECTED\r\n");
    EXPECT_EQ(station.sink.Count(IsKind(UiEventKind::HostErrorEvent)), 0u);
    EXPECT_TRUE(station.session.Disconnect(true));
    EXPECT_FALSE(sim->modem(0).inHostmode());
}

}  // namespace
}  // namespace corvina::testing
