#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "cvhost/crc16.h"
#include "cvhost/request.h"
#include "cvhost/response_parser.h"
#include "support/hostmode_wire.h"

namespace {

using corvina::testing::Bytes;
using corvina::testing::ResponseFrame;

Bytes RandomBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes out(size);
    for (auto& b : out) {
        b = static_cast<std::uint8_t>(rng());
    }
    return out;
}

void BM_Crc16X25Frame256(benchmark::State& state) {
    const Bytes frame = RandomBytes(256, 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(cvhost::Crc16X25(frame.data(), frame.size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 256);
}
BENCHMARK(BM_Crc16X25Frame256);

void BM_BuildRequest(benchmark::State& state) {
    const Bytes payload = RandomBytes(static_cast<std::size_t>(state.range(0)), 2);
    for (auto _ : state) {
        benchmark::DoNotOptimize(cvhost::BuildRequest(4, false, true, false, payload));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_BuildRequest)->Arg(1)->Arg(256);

// About 1 MiB of full-size data answers (code 7, 256 bytes each, random data
// so about one byte in 256 is stuffed) with a short text answer between them.
Bytes ResponseStream() {
    Bytes stream;
    std::mt19937 rng(3);
    while (stream.size() < (1u << 20)) {
        Bytes data(256);
        for (auto& b : data) {
            b = static_cast<std::uint8_t>(rng());
        }
        const Bytes frame = ResponseFrame(4, 7, data);
        stream.insert(stream.end(), frame.begin(), frame.end());
        const Bytes text = ResponseFrame(4, 1, std::string("OK"));
        stream.insert(stream.end(), text.begin(), text.end());
    }
    return stream;
}

void BM_ResponseParserThroughput(benchmark::State& state) {
    const Bytes stream = ResponseStream();
    const auto chunk = static_cast<std::size_t>(state.range(0));
    std::size_t frames = 0;
    for (auto _ : state) {
        cvhost::ResponseParser parser;
        for (std::size_t pos = 0; pos < stream.size(); pos += chunk) {
            const std::size_t n = std::min(chunk, stream.size() - pos);
            frames += parser.Push(stream.data() + pos, n).size();
        }
    }
    benchmark::DoNotOptimize(frames);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(stream.size()));
}
// 4096: a large transport read; 64: the small reads of a slow serial link.
BENCHMARK(BM_ResponseParserThroughput)->Arg(4096)->Arg(64);

}  // namespace
