// Command round trips through a running session against velksim answering at
// once, beside the raw request/answer round trip over the same link, so the
// session's own share shows.
#include <benchmark/benchmark.h>

#include "bench_station.h"
#include "cvhost/request.h"
#include "cvhost/response_parser.h"
#include "sim/simulator.h"

namespace corvina::bench {
namespace {

enum LinkKind : int { kTcp = 0, kPty = 1 };

velksim::SimulatorOptions OneModem(bool pty) {
    velksim::SimulatorOptions options;
    velksim::ModemOptions modem;
    modem.name = "AB1CD";
    modem.pty = pty;
    modem.ptyLink =
        std::filesystem::temp_directory_path() / ("corvina-bench-" + std::to_string(::getpid()));
    options.modems.push_back(modem);
    return options;
}

std::unique_ptr<ITransport> OpenLink(velksim::Modem& modem, bool pty, std::string& error) {
    auto transport = pty ? CreateSerialTransport(Utf8ToWide(modem.ptyLink().string()))
                         : CreateTelnetTransport("127.0.0.1", modem.tcpPort());
    if (!transport->Open(error))
        return nullptr;
    return transport;
}

// "I" queued on the window side until its answer is posted back.
void BM_SessionCommandRoundTrip(benchmark::State& state) {
    const bool pty = state.range(0) == kPty;
    velksim::Simulator sim(OneModem(pty));
    std::string error;
    BenchStation station;
    if (!sim.Start(error) || !(pty ? station.ConnectPty(sim.modem(0).ptyLink(), error)
                                   : station.ConnectTcp(sim.modem(0).tcpPort(), error))) {
        state.SkipWithError(error.c_str());
        return;
    }
    const auto answered = testing::IsOutputContaining(HostOutputKind::ReceivedText, "AB1CD");
    std::vector<double> samples;
    for (auto _ : state) {
        const std::size_t from = station.sink.Size();
        const auto start = std::chrono::steady_clock::now();
        station.session.QueueCommand({'I'});
        if (!station.sink.WaitFor(answered, 5s, from)) {
            state.SkipWithError("no answer");
            break;
        }
        samples.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    station.session.Disconnect(false);
    const auto [median, p99] = MedianAndP99(samples);
    state.counters["median_ms"] = median;
    state.counters["p99_ms"] = p99;
    state.counters["commands_per_s"] =
        benchmark::Counter(static_cast<double>(samples.size()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SessionCommandRoundTrip)->Arg(kTcp)->Arg(kPty)->Iterations(2000)->UseRealTime();

// The same request written and its answer parsed directly on the transport.
void BM_RawHostmodeRoundTrip(benchmark::State& state) {
    const bool pty = state.range(0) == kPty;
    velksim::Simulator sim(OneModem(pty));
    std::string error;
    if (!sim.Start(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    auto link = OpenLink(sim.modem(0), pty, error);
    const std::uint8_t enter[] = {'J', 'H', 'O', 'S', 'T', '5', '\r'};
    if (!link || !link->Write(enter, sizeof enter, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::this_thread::sleep_for(100ms);
    std::uint8_t buffer[4096];
    while (link->Read(buffer, sizeof buffer, 20, error) > 0) {
    }
    cvhost::ResponseParser parser;
    bool sequenceBit = false;
    bool sequenceStart = true;
    std::vector<double> samples;
    for (auto _ : state) {
        const auto request = cvhost::BuildRequest(4, true, sequenceBit, sequenceStart,
                                                  std::vector<std::uint8_t>{'I'});
        const auto start = std::chrono::steady_clock::now();
        bool answered = false;
        if (!link->Write(request.data(), request.size(), error))
            break;
        while (!answered) {
            const std::int32_t n = link->Read(buffer, sizeof buffer, 100, error);
            if (n < 0)
                break;
            for (const auto& event : parser.Push(buffer, static_cast<std::size_t>(n))) {
                answered = answered || event.kind == cvhost::ParseEvent::Kind::Frame;
            }
        }
        if (!answered) {
            state.SkipWithError(error.c_str());
            break;
        }
        samples.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        sequenceBit = !sequenceBit;
        sequenceStart = false;
    }
    const auto [median, p99] = MedianAndP99(samples);
    state.counters["median_ms"] = median;
    state.counters["p99_ms"] = p99;
}
BENCHMARK(BM_RawHostmodeRoundTrip)->Arg(kTcp)->Arg(kPty)->Iterations(2000)->UseRealTime();

}  // namespace
}  // namespace corvina::bench
