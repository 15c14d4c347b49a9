// How fast the simulator takes requests apart and answers them: the request
// parser alone, and whole hostmode transactions over a loopback TCP connection.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "cvhost/request.h"
#include "cvhost/response_parser.h"
#include "sim/posix_io.h"
#include "sim/request_parser.h"
#include "sim/simulator.h"
#include "sim/telnet.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void BM_RequestParserDataFrames(benchmark::State& state) {
    Bytes stream;
    Bytes payload(256);
    for (std::size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<std::uint8_t>(i);  // one 0xAA per frame to unstuff
    }
    for (int i = 0; i < 64; ++i) {
        const Bytes frame = cvhost::BuildRequest(4, false, i % 2 == 1, false, payload);
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    velksim::RequestParser parser;
    for (auto _ : state) {
        auto events = parser.Push(stream.data(), stream.size());
        benchmark::DoNotOptimize(events);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(BM_RequestParserDataFrames);

// One request and its answer per iteration, as a host's poll does it.
void BM_HostmodeTransactionOverTcp(benchmark::State& state) {
    velksim::SimulatorOptions options;
    options.modems.resize(1);
    velksim::Simulator sim(options);
    std::string error;
    if (!sim.Start(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    velksim::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(sim.modem(0).tcpPort());
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int one = 1;
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        state.SkipWithError("connect failed");
        return;
    }
    const std::string enter = "\x1bJHOST5\r";
    velksim::WriteAll(fd.get(), reinterpret_cast<const std::uint8_t*>(enter.data()), enter.size(),
                      std::chrono::milliseconds(1000));
    while (!sim.modem(0).inHostmode()) {
        ::usleep(1000);
    }
    cvhost::ResponseParser parser;
    velksim::TelnetCodec telnet;
    bool bit = false;
    std::uint8_t buffer[4096];
    const Bytes g = {'G'};
    for (auto _ : state) {
        const Bytes request =
            velksim::TelnetCodec::Encode(cvhost::BuildRequest(255, true, bit, false, g));
        velksim::WriteAll(fd.get(), request.data(), request.size(),
                          std::chrono::milliseconds(1000));
        bool answered = false;
        while (!answered) {
            pollfd p{fd.get(), POLLIN, 0};
            if (::poll(&p, 1, 1000) <= 0) {
                state.SkipWithError("no answer");
                return;
            }
            const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
            if (n <= 0) {
                state.SkipWithError("connection closed");
                return;
            }
            const Bytes payload = telnet.Decode(buffer, static_cast<std::size_t>(n));
            for (const auto& event : parser.Push(payload.data(), payload.size())) {
                answered = answered || event.kind == cvhost::ParseEvent::Kind::Frame;
            }
        }
        bit = !bit;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_HostmodeTransactionOverTcp)->UseRealTime();

}  // namespace
