// How well the worker keeps a fast ARQ link busy: 32 KiB from one session to
// another over a level-4 link at 1,380 bytes/s on air (690 bytes/s at time
// scale 2). The program's own pacing is not scaled.
#include <benchmark/benchmark.h>

#include "bench_station.h"
#include "cvrk/connect_text.h"
#include "sim/simulator.h"

namespace corvina::bench {
namespace {

constexpr double kTimeScale = 2.0;
constexpr double kLevelRate = 690.0;  // simulated bytes per second
constexpr std::size_t kPayload = 32 * 1024;

void BM_ArqLinkUtilisation(benchmark::State& state) {
    velksim::SimulatorOptions options;
    options.channel.timeScale = kTimeScale;
    options.channel.arqLevel = 4;
    options.channel.levels[4] = {kLevelRate, 256};
    for (const char* call : {"AB1CD", "XY2Z"}) {
        velksim::ModemOptions modem;
        modem.name = call;
        options.modems.push_back(modem);
    }
    velksim::Simulator sim(options);
    BenchStation a;
    BenchStation b;
    std::string error;
    if (!sim.Start(error) || !a.ConnectTcp(sim.modem(0).tcpPort(), error) ||
        !b.ConnectTcp(sim.modem(1).tcpPort(), error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    a.session.QueueCommand(cvrk::BuildRobustConnectCommand("XY2Z"));
    const auto linkUp = std::chrono::steady_clock::now() + 10s;
    while (!a.session.arqConnected && std::chrono::steady_clock::now() < linkUp) {
        std::this_thread::sleep_for(10ms);
    }
    if (!a.session.arqConnected) {
        state.SkipWithError("no ARQ link");
        return;
    }
    std::vector<std::uint8_t> data(kPayload);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>('A' + i % 26);
    }
    double seconds = 0;
    for (auto _ : state) {
        const std::uint64_t airBefore = sim.modem(0).counters().bytesOnAir;
        const auto start = std::chrono::steady_clock::now();
        a.session.QueueData(data, OutboundKind::TransmitText);
        while (sim.modem(0).counters().bytesOnAir - airBefore < kPayload) {
            std::this_thread::sleep_for(5ms);
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    a.session.Disconnect(false);
    b.session.Disconnect(false);
    const double airRate = kLevelRate * kTimeScale;
    state.counters["air_rate_Bps"] = airRate;
    state.counters["achieved_Bps"] = kPayload / seconds;
    state.counters["utilisation_percent"] = 100.0 * kPayload / seconds / airRate;
}
BENCHMARK(BM_ArqLinkUtilisation)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace corvina::bench
