// Entry point of every benchmark program: sockets are started first, since the
// link and session benchmarks open them.

#include <benchmark/benchmark.h>

#include <cstdio>

#include "link/socket_startup.h"

int main(int argc, char** argv) {
    const corvina::SocketStartup sockets;
    if (!sockets.Started()) {
        std::fprintf(stderr, "%s\n", sockets.Error().c_str());
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
