#include <benchmark/benchmark.h>

#include "cvfile/cobs.h"
#include "cvfile/crc32.h"
#include "cvfile/sample_data.h"
#include "cvfile/transfer_data.h"

namespace cvfile {
namespace {

using sample::Bytes;
using sample::RandomBytes;
using sample::SampleText;

constexpr std::size_t kMiB = 1 << 20;

void BM_Crc32Bitwise(benchmark::State& state) {
    const Bytes data = RandomBytes(kMiB, 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(Crc32Ieee(data.data(), data.size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_Crc32Bitwise);

// Random bytes hold a 0x00 every 256 bytes on average, the short groups that
// cost COBS most per byte.
void BM_CobsEncode(benchmark::State& state) {
    const Bytes data = RandomBytes(kMiB, 2);
    for (auto _ : state) {
        benchmark::DoNotOptimize(CobsEncode(data.data(), data.size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_CobsEncode);

void BM_CobsDecode(benchmark::State& state) {
    const Bytes data = RandomBytes(kMiB, 3);
    const Bytes encoded = CobsEncode(data.data(), data.size());
    Bytes out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(CobsDecode(encoded.data(), encoded.size(), out));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * encoded.size()));
}
BENCHMARK(BM_CobsDecode);

void BM_EncodeTransferDataText(benchmark::State& state) {
    const Bytes text = SampleText(kMiB);
    for (auto _ : state) {
        benchmark::DoNotOptimize(EncodeTransferData(text.data(), text.size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_EncodeTransferDataText)->Unit(benchmark::kMillisecond);

void BM_DecodeTransferDataText(benchmark::State& state) {
    const Bytes text = SampleText(kMiB);
    const EncodedTransferData enc = EncodeTransferData(text.data(), text.size());
    Bytes out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            DecodeTransferData(enc.mode, enc.bytes.data(), enc.bytes.size(), text.size(), out));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_DecodeTransferDataText)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace cvfile
