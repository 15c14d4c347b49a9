// Bytes on air of the whole record stream for files of the kinds operators
// send, against the same stream compressed by zlib at level 6 and by zopfli
// with its default iterations, and the sender's time to build the stream
// against that stream's time on air at 1,400 bytes/s. Goals: on the text files
// together within 1 % of zopfli; no file longer than with zlib level 6; no
// file building for more than 5 % of its time on air.
#include <benchmark/benchmark.h>
#include <zlib.h>
#include <zopfli/zopfli.h>

#include <atomic>
#include <chrono>
#include <cstdlib>

#include "corpus/text_corpus.h"
#include "cvfile/record_codec.h"
#include "cvfile/transfer_record.h"
#include "transfer/record_stream.h"

namespace corvina {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr double kAirRate = 1400;

// Bytes of the framed records carrying `transfer` (the zlib stream, or the
// file itself when `transfer` would not be shorter) for a file named "f".
std::size_t StreamBytes(const Bytes& file, const Bytes& transfer) {
    const Bytes& data = transfer.size() < file.size() ? transfer : file;
    cvfile::TransferRecord record;
    record.transferId = 1;
    record.type = cvfile::RecordType::Start;
    record.payload = {'f'};
    std::size_t total = cvfile::EncodeRecord(record).size();
    record.type = cvfile::RecordType::Data;
    for (std::size_t at = 0; at < data.size(); at += kOutgoingChunkSize) {
        const std::size_t length = std::min(kOutgoingChunkSize, data.size() - at);
        record.payload.assign(data.begin() + static_cast<std::ptrdiff_t>(at),
                              data.begin() + static_cast<std::ptrdiff_t>(at + length));
        total += cvfile::EncodeRecord(record).size();
    }
    record.type = cvfile::RecordType::End;
    record.payload.clear();
    return total + cvfile::EncodeRecord(record).size();
}

Bytes Zlib6(const Bytes& file) {
    uLongf size = compressBound(static_cast<uLong>(file.size()));
    Bytes out(size);
    compress2(out.data(), &size, file.data(), static_cast<uLong>(file.size()), 6);
    out.resize(size);
    return out;
}

Bytes Zopfli(const Bytes& file) {
    ZopfliOptions options;
    ZopfliInitOptions(&options);
    unsigned char* raw = nullptr;
    std::size_t size = 0;
    ZopfliCompress(&options, ZOPFLI_FORMAT_ZLIB, file.data(), file.size(), &raw, &size);
    Bytes out(raw, raw + size);
    std::free(raw);
    return out;
}

struct Totals {
    double ours = 0;
    double zopfli = 0;
    double zlib6 = 0;
};
Totals textTotals;

void BM_RecordStreamAirBytes(benchmark::State& state, const bench::CorpusFile* file) {
    const std::atomic<bool> abort{false};
    double seconds = 0;
    std::size_t ours = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const BinaryRecordStream stream = BuildBinaryRecordStream(file->bytes, "f", 1, abort);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        ours = stream.bytes.size();
        state.SetIterationTime(seconds);
    }
    const double zlib6 = static_cast<double>(StreamBytes(file->bytes, Zlib6(file->bytes)));
    const double zopfli = static_cast<double>(StreamBytes(file->bytes, Zopfli(file->bytes)));
    if (file->text) {
        textTotals.ours += static_cast<double>(ours);
        textTotals.zopfli += zopfli;
        textTotals.zlib6 += zlib6;
    }
    state.counters["file_bytes"] = static_cast<double>(file->bytes.size());
    state.counters["air_bytes"] = static_cast<double>(ours);
    state.counters["of_zlib6"] = static_cast<double>(ours) / zlib6;
    state.counters["of_zopfli"] = static_cast<double>(ours) / zopfli;
    state.counters["time_of_air"] = seconds / (static_cast<double>(ours) / kAirRate);
}

// Runs after the files: the totals over the text files.
void BM_TextTotal(benchmark::State& state) {
    for (auto _ : state) {
    }
    state.counters["air_bytes"] = textTotals.ours;
    state.counters["of_zlib6"] = textTotals.ours / textTotals.zlib6;
    state.counters["of_zopfli"] = textTotals.ours / textTotals.zopfli;
}

const std::vector<bench::CorpusFile>& Corpus() {
    static const std::vector<bench::CorpusFile> corpus = bench::BuildCorpus();
    return corpus;
}

const bool registered = [] {
    for (const auto& file : Corpus()) {
        benchmark::RegisterBenchmark(("BM_RecordStreamAirBytes/" + file.label).c_str(),
                                     BM_RecordStreamAirBytes, &file)
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("BM_TextTotal", BM_TextTotal)->Iterations(1);
    return true;
}();

}  // namespace
}  // namespace corvina
