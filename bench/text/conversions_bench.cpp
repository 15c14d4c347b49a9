// Throughput of the conversions every received frame and every sent line go
// through, on 1 MiB inputs.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "text/conversions.h"

namespace {

using namespace corvina;

constexpr std::size_t kInputSize = 1 << 20;

// Mostly ASCII with some Latin-1, a line end per 64 characters, and an euro
// sign now and then, like a German or French chat.
std::u16string SampleWide() {
    const std::u16string line =
        u"Gr\u00FC\u00DFe aus dem Shack, 73 und gute Verbindung \u20AC 14.1\r\n";
    std::u16string text;
    while (text.size() < kInputSize) {
        text += line;
    }
    text.resize(kInputSize);
    return text;
}

void BM_BytesToWide(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes = WideToModemBytes(SampleWide());
    for (auto _ : state) {
        benchmark::DoNotOptimize(BytesToWide(bytes));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_BytesToWide);

void BM_WideToModemBytes(benchmark::State& state) {
    const std::u16string wide = SampleWide();
    for (auto _ : state) {
        benchmark::DoNotOptimize(WideToModemBytes(wide));
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * wide.size() * sizeof(char16_t)));
}
BENCHMARK(BM_WideToModemBytes);

void BM_Utf8ToWide(benchmark::State& state) {
    const std::string utf8 = WideToUtf8(SampleWide());
    for (auto _ : state) {
        benchmark::DoNotOptimize(Utf8ToWide(utf8));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * utf8.size()));
}
BENCHMARK(BM_Utf8ToWide);

void BM_WideToUtf8(benchmark::State& state) {
    const std::u16string wide = SampleWide();
    for (auto _ : state) {
        benchmark::DoNotOptimize(WideToUtf8(wide));
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * wide.size() * sizeof(char16_t)));
}
BENCHMARK(BM_WideToUtf8);

}  // namespace
