#include <benchmark/benchmark.h>

#include "cvfile/record_codec.h"
#include "cvfile/sample_data.h"
#include "cvfile/stream_parser.h"

namespace cvfile {
namespace {

using sample::Bytes;
using sample::RandomBytes;
using sample::SampleText;

TransferRecord DataRecord(std::size_t payloadSize, std::uint32_t chunk) {
    TransferRecord r;
    r.type = RecordType::Data;
    r.transferId = 0x5EED5EED5EED5EEDull;
    r.sequence = chunk;
    r.offset = std::uint64_t{chunk - 1} * payloadSize;
    r.payload = RandomBytes(payloadSize, chunk);
    return r;
}

// Argument: payload size (senders use 256; 65,536 is the largest).
void BM_EncodeRecord(benchmark::State& state) {
    const TransferRecord record = DataRecord(static_cast<std::size_t>(state.range(0)), 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(EncodeRecord(record));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * record.payload.size()));
}
BENCHMARK(BM_EncodeRecord)->Arg(256)->Arg(65536);

void BM_DecodeRecord(benchmark::State& state) {
    const Bytes framed = EncodeRecord(DataRecord(static_cast<std::size_t>(state.range(0)), 1));
    TransferRecord record;
    for (auto _ : state) {
        benchmark::DoNotOptimize(DecodeRecord(framed.data() + 1, framed.size() - 2, record));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * framed.size()));
}
BENCHMARK(BM_DecodeRecord)->Arg(256)->Arg(65536);

// A binary transfer's stream: 256-byte Data records with a line of operator
// text every 16 records, about 1 MiB, pushed in 256-byte pieces as frames
// arrive from the modem.
void BM_StreamParser(benchmark::State& state) {
    Bytes stream;
    const Bytes line = SampleText(64);
    for (std::uint32_t chunk = 1; stream.size() < (1u << 20); ++chunk) {
        const Bytes framed = EncodeRecord(DataRecord(256, chunk));
        stream.insert(stream.end(), framed.begin(), framed.end());
        if (chunk % 16 == 0) {
            stream.insert(stream.end(), line.begin(), line.end());
        }
    }
    constexpr std::size_t kPiece = 256;
    StreamParser parser;
    std::size_t records = 0;
    for (auto _ : state) {
        for (std::size_t at = 0; at < stream.size(); at += kPiece) {
            const auto events =
                parser.Push(stream.data() + at, std::min(kPiece, stream.size() - at));
            records += events.size();
        }
    }
    benchmark::DoNotOptimize(records);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(BM_StreamParser)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace cvfile
