// Faults as a raw client sees them, down to the byte and the counter; the
// session's own runs show how a host copes with the rest.
#include <unistd.h>

#include <filesystem>
#include <mutex>

#include "cvhost/request.h"
#include "raw_client.h"

namespace velksim::test {
namespace {

using Kind = cvhost::ParseEvent::Kind;

class Faulty : public SimFixture {};

TEST_F(Faulty, CorruptedMarkedAndGarbledAnswersShowAtTheHost) {
    const struct {
        std::string name;
        std::atomic<std::uint32_t> Faults::*fault;
        std::uint64_t Counters::*counter;
        bool answered;  // the frame still arrives intact
        Kind expected;  // the event the host parser sees
    } cases[] = {
        {"corrupt", &Faults::corruptEveryNth, &Counters::answersCorrupted, false, Kind::CrcError},
        {"marker", &Faults::markerEveryNth, &Counters::markersInserted, true, Kind::Marker},
        {"garbage", &Faults::garbageEveryNth, &Counters::garbageInserted, true, Kind::Frame},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StartSim(Options({"AB1CD"}));
        auto host = Host(0);
        (sim_->modem(0).faults().*c.fault) = 2;
        ASSERT_TRUE(host->Command(kChannel, "I"));
        EXPECT_EQ(host->Command(kChannel, "I", 300ms).has_value(), c.answered);
        EXPECT_TRUE(std::any_of(host->events().begin(), host->events().end(),
                                [&](const cvhost::ParseEvent& e) { return e.kind == c.expected; }));
        EXPECT_EQ(sim_->modem(0).counters().*c.counter, 1u);
        sim_.reset();
    }
}

// Which of 16 pipelined requests were answered. Each goes on its own channel,
// so the answers tell them apart whatever the timing. The frame log is kept in
// `log`.
std::vector<bool> DropPattern(std::uint64_t seed, std::string& log) {
    std::mutex mutex;
    SimulatorOptions options;
    options.seed = seed;
    options.modems.push_back(ModemOptions{});
    options.modems[0].faults.dropProbability = 0.5;
    options.log = [&](const std::string& line) {
        std::lock_guard lock(mutex);
        log += line + "\n";
    };
    Simulator sim(options);
    std::string error;
    EXPECT_TRUE(sim.Start(error)) << error;
    RawClient host;
    EXPECT_TRUE(host.ConnectTcp(sim.modem(0).tcpPort()));
    EXPECT_TRUE(host.EnterHostmode());
    constexpr int kRequests = 16;
    for (int i = 0; i < kRequests; ++i) {
        host.Write(cvhost::BuildRequest(static_cast<std::uint8_t>(i + 1), true, i % 2 == 1, i == 0,
                                        Ascii("G")));
    }
    for (int i = 0; i < 100 && sim.modem(0).counters().requestsTotal < kRequests; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    const Bytes wire = Ascii(host.Read(300ms));
    sim.Stop();
    std::vector<bool> pattern(kRequests, false);
    for (const cvhost::ParseEvent& event :
         cvhost::ResponseParser().Push(wire.data(), wire.size())) {
        if (event.kind == Kind::Frame && event.frame.channel >= 1 &&
            event.frame.channel <= kRequests) {
            pattern[event.frame.channel - 1] = true;
        }
    }
    return pattern;
}

TEST(FaultSeed, RandomDropsFollowTheSeedAndEveryFrameIsLogged) {
    std::string log;
    const std::vector<bool> first = DropPattern(7, log);
    EXPECT_EQ(DropPattern(7, log), first);
    EXPECT_NE(std::count(first.begin(), first.end(), true), 0);
    EXPECT_NE(std::count(first.begin(), first.end(), false), 0);
    EXPECT_NE(log.find("< ch 1 cmd seq 0 start 'G'"), std::string::npos) << log;
    EXPECT_NE(log.find(" code 0 ''\n"), std::string::npos) << log;
}

// The session's start-up run covers chatter over TCP; a serial line must stay
// quiet until the host has written, and the fault can be switched off live.
TEST_F(Faulty, ChatterOnASerialLineStartsWithTheHostAndStopsWhenSwitchedOff) {
    const std::string kLine = "*** channel busy";
    SimulatorOptions options = Options({"AB1CD"});
    options.modems[0].faults.chatterMs = 5;
    options.modems[0].tcp = false;
    options.modems[0].pty = true;
    options.modems[0].ptyLink =
        std::filesystem::temp_directory_path() / ("velksim-chatter-" + std::to_string(::getpid()));
    StartSim(options);
    RawClient client;
    ASSERT_TRUE(client.OpenDevice(options.modems[0].ptyLink.string()));
    EXPECT_EQ(client.Read(100ms), "");
    ASSERT_TRUE(client.Write("\r"));
    EXPECT_NE(client.Read(200ms).find(kLine), std::string::npos);
    ASSERT_TRUE(client.EnterHostmode());
    ASSERT_TRUE(client.Command(kChannel, "I"));
    EXPECT_EQ(client.Read(200ms), "");
    sim_->modem(0).faults().chatterMs = 0;
    ASSERT_TRUE(client.Command(kChannel, "JHOST0"));
    client.Read(50ms);  // a line already on its way
    EXPECT_EQ(client.Read(200ms).find(kLine), std::string::npos);
}

}  // namespace
}  // namespace velksim::test
