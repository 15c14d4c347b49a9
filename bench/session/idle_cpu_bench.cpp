// CPU of a connected session with no traffic, measured with getrusage over an
// idle stretch (30 s; CORVINA_IDLE_SECONDS overrides). velksim runs as its own
// process so only the session's threads are counted.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <thread>

#include "bench_station.h"
#include "velksim_process.h"

namespace corvina::bench {
namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void BM_IdleSessionCpu(benchmark::State& state) {
    const char* configured = std::getenv("CORVINA_IDLE_SECONDS");
    const double idleSeconds = configured != nullptr ? std::atof(configured) : 30.0;
    VelksimProcess velksim;
    BenchStation station;
    std::string error;
    if (!velksim.Start("AB1CD", error) || !station.ConnectTcp(velksim.tcpPort(), error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    double percent = 0;
    for (auto _ : state) {
        const double cpuBefore = CpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(idleSeconds));
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        percent = 100.0 * (CpuSeconds() - cpuBefore) / wall;
    }
    station.session.Disconnect(true);
    state.counters["idle_seconds"] = idleSeconds;
    state.counters["cpu_percent_of_one_core"] = percent;
}
BENCHMARK(BM_IdleSessionCpu)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace corvina::bench
