// Request/answer round trips through the transports: one 10-byte frame out,
// the same 10 bytes echoed back by a peer thread. Reports the median and the
// 99th percentile of the single exchanges.

#include <benchmark/benchmark.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "link/pseudo_terminal.h"
#include "link/serial_transport.h"
#include "link/tcp_test_server.h"
#include "link/telnet_transport.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kFrameBytes = 10;
constexpr int kExchanges = 10000;

// Echoes whatever arrives on `fd` until `stop` is set or the peer goes.
void Echo(int fd, const std::atomic<bool>& stop) {
    std::uint8_t buffer[4096];
    while (!stop) {
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, 20) <= 0) {
            continue;
        }
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0 || write(fd, buffer, static_cast<std::size_t>(n)) != n) {
            return;
        }
    }
}

// Runs the exchanges and reports their latency distribution.
void Exchange(benchmark::State& state, corvina::ITransport& transport) {
    const std::uint8_t frame[kFrameBytes] = {0xAA, 0x01, 0x00, 0x02, 'G',
                                             ' ',  '3',  0x10, 0x20, 0x30};
    std::vector<double> latencies;
    latencies.reserve(kExchanges);
    std::string error;
    for (auto _ : state) {
        const auto start = Clock::now();
        if (!transport.Write(frame, sizeof frame, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        std::size_t got = 0;
        std::uint8_t answer[4096];
        while (got < kFrameBytes) {
            const std::int32_t n = transport.Read(answer, sizeof answer, 1000, error);
            if (n <= 0) {
                state.SkipWithError(n < 0 ? error.c_str() : "answer timed out");
                return;
            }
            got += static_cast<std::size_t>(n);
        }
        latencies.push_back(
            std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::sort(latencies.begin(), latencies.end());
    state.counters["median_us"] = latencies[latencies.size() / 2];
    state.counters["p99_us"] = latencies[latencies.size() * 99 / 100];
}

void BM_TelnetLoopbackRoundTrip(benchmark::State& state) {
    corvina::testing::TcpTestServer server;
    auto transport = corvina::CreateTelnetTransport("127.0.0.1", server.port());
    std::string error;
    if (!transport->Open(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    corvina::testing::ScopedFd peer(server.Accept());
    std::atomic<bool> stop{false};
    std::thread modem(Echo, peer.get(), std::cref(stop));
    Exchange(state, *transport);
    stop = true;
    modem.join();
}
BENCHMARK(BM_TelnetLoopbackRoundTrip)->Iterations(kExchanges)->Unit(benchmark::kMicrosecond);

void BM_SerialPseudoTerminalRoundTrip(benchmark::State& state) {
    corvina::testing::PseudoTerminal pty;
    auto transport = corvina::CreateSerialTransport(pty.slavePath16());
    std::string error;
    if (!pty.ok() || !transport->Open(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::atomic<bool> stop{false};
    std::thread modem(Echo, pty.master(), std::cref(stop));
    Exchange(state, *transport);
    stop = true;
    modem.join();
}
BENCHMARK(BM_SerialPseudoTerminalRoundTrip)->Iterations(kExchanges)->Unit(benchmark::kMicrosecond);

}  // namespace
