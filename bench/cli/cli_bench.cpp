// corvina-cli as a process: CPU while connected and idle, and the time from
// its start to hostmode beside the same start done inside one process (what
// the window does once its controls exist). velksim runs as its own process.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "../session/bench_station.h"
#include "../session/velksim_process.h"
#include "cli/child_process.h"
#include "support/temporary_folder.h"

namespace corvina::bench {
namespace {

using Clock = std::chrono::steady_clock;

bool HasLine(const std::filesystem::path& output, const std::string& part) {
    std::ifstream in(output);
    for (std::string line; std::getline(in, line);) {
        if (line.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// Starts a listener and waits for hostmode; the elapsed milliseconds, or -1.
double StartListener(std::unique_ptr<testing::ChildProcess>& child, std::uint16_t port,
                     const testing::TemporaryFolder& folder) {
    const auto output = folder.path() / "out";
    const auto start = Clock::now();
    child = std::make_unique<testing::ChildProcess>(
        CORVINA_CLI_PATH,
        std::vector<std::string>{"listen", "--into", (folder.path() / "in").string(), "--modem",
                                 "tcp:127.0.0.1:" + std::to_string(port), "--json"},
        output, folder.path() / "err");
    while (!HasLine(output, "\"event\":\"hostmode\"")) {
        if (Clock::now() - start > std::chrono::seconds(10)) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// User plus system CPU seconds of process `pid` so far.
double ProcessCpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), {});
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) {
            utime = std::stoull(field);
        } else if (i == 15) {
            stime = std::stoull(field);
        }
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void BM_CliIdleListenerCpu(benchmark::State& state) {
    const char* configured = std::getenv("CORVINA_IDLE_SECONDS");
    const double idleSeconds = configured != nullptr ? std::atof(configured) : 30.0;
    VelksimProcess velksim;
    testing::TemporaryFolder folder;
    std::unique_ptr<testing::ChildProcess> cli;
    std::string error;
    if (!velksim.Start("AB1CD", error) || StartListener(cli, velksim.tcpPort(), folder) < 0) {
        state.SkipWithError(error.empty() ? "no hostmode" : error.c_str());
        return;
    }
    double percent = 0;
    for (auto _ : state) {
        const double before = ProcessCpuSeconds(cli->pid());
        const auto start = Clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(idleSeconds));
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        percent = 100.0 * (ProcessCpuSeconds(cli->pid()) - before) / wall;
    }
    cli->Signal(SIGTERM);
    cli->Wait(std::chrono::seconds(10));
    state.counters["idle_seconds"] = idleSeconds;
    state.counters["cpu_percent_of_one_core"] = percent;
}
BENCHMARK(BM_CliIdleListenerCpu)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

void BM_CliStartToHostmode(benchmark::State& state) {
    VelksimProcess velksim;
    std::string error;
    if (!velksim.Start("AB1CD", error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::vector<double> samples;
    for (auto _ : state) {
        testing::TemporaryFolder folder;
        std::unique_ptr<testing::ChildProcess> cli;
        const double ms = StartListener(cli, velksim.tcpPort(), folder);
        if (ms < 0) {
            state.SkipWithError("no hostmode");
            return;
        }
        samples.push_back(ms);
        cli->Signal(SIGTERM);
        cli->Wait(std::chrono::seconds(10));
    }
    state.counters["median_ms"] = MedianAndP99(samples).first;
}
BENCHMARK(BM_CliStartToHostmode)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_InProcessStartToHostmode(benchmark::State& state) {
    VelksimProcess velksim;
    std::string error;
    if (!velksim.Start("AB1CD", error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::vector<double> samples;
    for (auto _ : state) {
        const auto start = Clock::now();
        BenchStation station;
        if (!station.ConnectTcp(velksim.tcpPort(), error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        station.session.Disconnect(true);
    }
    state.counters["median_ms"] = MedianAndP99(samples).first;
}
BENCHMARK(BM_InProcessStartToHostmode)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvina::bench
