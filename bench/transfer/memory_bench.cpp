// Peak heap use of sending and receiving a 64 MiB file, and the time from End
// record to queued verdict for a 1 MiB compressed file. Its own program: it
// replaces the global operator new to follow the live heap.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <new>
#include <random>

#include "cvfile/crc32.h"
#include "cvfile/record_codec.h"
#include "transfer/file_senders.h"
#include "transfer/incoming_transfer.h"
#include "transfer/outgoing_transfer.h"
#include "transfer/record_stream.h"

namespace {

std::atomic<std::size_t> liveBytes{0};
std::atomic<std::size_t> peakBytes{0};

void* Allocate(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    const std::size_t now = liveBytes.fetch_add(malloc_usable_size(p)) + malloc_usable_size(p);
    std::size_t peak = peakBytes.load();
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
    }
    return p;
}

void Release(void* p) {
    if (p != nullptr) {
        liveBytes.fetch_sub(malloc_usable_size(p));
        std::free(p);
    }
}

// Restarts the peak at the current live size; returns that size.
std::size_t ResetPeak() {
    const std::size_t now = liveBytes.load();
    peakBytes = now;
    return now;
}

}  // namespace

void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    Release(p);
}

namespace corvina {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A port that keeps what is queued and drops everything else.
class HoldingPort : public TransferPort {
  public:
    TransferFlags Flags() override {
        return TransferFlags{abort, flag, flag, flag, flag, flag, yes, yes};
    }
    bool SessionRunning() override { return true; }
    void Post(UiEvent) override {}
    void SetSendCounters(std::uint64_t, std::uint64_t) override {}
    bool QueueData(Bytes bytes, OutboundKind) override {
        queued = std::move(bytes);
        return true;
    }
    void QueueCommand(Bytes) override {}
    bool QueueVerdict(Bytes record, const std::function<void()>& noteQueued) override {
        noteQueued();
        verdict = std::move(record);
        return true;
    }
    void RequestBinaryCancel() override {}
    void SetFileResult(std::string, bool) override {}

    std::atomic<bool> abort{false};
    std::atomic<bool> flag{false};
    std::atomic<bool> yes{true};
    Bytes queued;
    Bytes verdict;
};

std::filesystem::path BenchFolder() {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("corvina-transfer-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    return folder;
}

constexpr std::size_t kLargeFile = 64u << 20;

void BM_SendPeakMemory64MiB(benchmark::State& state) {
    const auto folder = BenchFolder();
    const auto path = folder / "send.bin";
    {
        std::ofstream out(path, std::ios::binary);
        std::mt19937_64 generator(1);
        std::vector<std::uint64_t> block(1 << 16);
        for (std::size_t written = 0; written < kLargeFile; written += block.size() * 8) {
            std::generate(block.begin(), block.end(), generator);
            out.write(reinterpret_cast<const char*>(block.data()),
                      static_cast<std::streamsize>(block.size() * 8));
        }
    }
    double ratio = 0;
    for (auto _ : state) {
        HoldingPort port;
        OutgoingTransfer outgoing(port);
        const std::size_t base = ResetPeak();
        SendBinaryFileWorker(port, outgoing, path, "send.bin", 1);
        ratio = static_cast<double>(peakBytes.load() - base) / kLargeFile;
        benchmark::DoNotOptimize(port.queued.data());
    }
    state.counters["peak_per_file_byte"] = ratio;
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_SendPeakMemory64MiB)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ReceivePeakMemory64MiB(benchmark::State& state) {
    const auto folder = BenchFolder();
    auto chunkAt = [](std::size_t index, Bytes& chunk) {
        std::mt19937 generator(static_cast<std::uint32_t>(index));
        chunk.resize(256);
        for (auto& b : chunk) {
            b = static_cast<std::uint8_t>(generator());
        }
    };
    Bytes chunk;
    cvfile::Crc32Accumulator crc;
    const std::size_t chunks = kLargeFile / 256;
    for (std::size_t i = 0; i < chunks; ++i) {
        chunkAt(i, chunk);
        crc.Update(chunk.data(), chunk.size());
    }
    double ratio = 0;
    for (auto _ : state) {
        std::filesystem::remove_all(folder / "tmp");
        HoldingPort port;
        IncomingTransfer receiver(port, folder / "tmp");
        cvfile::TransferRecord record;
        record.type = cvfile::RecordType::Start;
        record.transferId = 5;
        record.offset = kLargeFile;
        record.value = crc.Value();
        record.payload = {'r', '.', 'b', 'i', 'n'};
        const std::size_t base = ResetPeak();
        receiver.Begin(record);
        record.type = cvfile::RecordType::Data;
        record.value = 0;
        for (std::size_t i = 0; i < chunks; ++i) {
            chunkAt(i, record.payload);
            record.sequence = static_cast<std::uint32_t>(i + 1);
            record.offset = i * 256;
            receiver.Data(record);
        }
        record.type = cvfile::RecordType::End;
        record.sequence = static_cast<std::uint32_t>(chunks + 1);
        record.offset = kLargeFile;
        record.value = crc.Value();
        record.payload.clear();
        receiver.End(record);
        ratio = static_cast<double>(peakBytes.load() - base) / kLargeFile;
        if (port.verdict.empty()) {
            state.SkipWithError("no verdict");
        }
    }
    state.counters["peak_per_file_byte"] = ratio;
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ReceivePeakMemory64MiB)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_EndToVerdictCompressed1MiB(benchmark::State& state) {
    const auto folder = BenchFolder();
    Bytes file(1u << 20);
    std::mt19937 generator(2);
    for (auto& b : file) {
        b = static_cast<std::uint8_t>('a' + generator() % 16);
    }
    const std::atomic<bool> abort{false};
    const BinaryRecordStream stream = BuildBinaryRecordStream(file, "c.txt", 9, abort);
    std::vector<cvfile::TransferRecord> records;
    // Split the stream at its 0x00 delimiters and decode each record.
    std::size_t open = 0;
    for (std::size_t i = 1; i < stream.bytes.size(); ++i) {
        if (stream.bytes[i] == 0 && stream.bytes[i - 1] != 0) {
            cvfile::TransferRecord record;
            cvfile::DecodeRecord(stream.bytes.data() + open + 1, i - open - 1, record);
            records.push_back(std::move(record));
        } else if (stream.bytes[i] == 0) {
            open = i;
        }
    }
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(folder / "tmp");
        HoldingPort port;
        IncomingTransfer receiver(port, folder / "tmp");
        receiver.Begin(records.front());
        for (std::size_t i = 1; i + 1 < records.size(); ++i) {
            receiver.Data(records[i]);
        }
        state.ResumeTiming();
        receiver.End(records.back());
        benchmark::DoNotOptimize(port.verdict.data());
        state.PauseTiming();
        if (port.verdict.empty()) {
            state.SkipWithError("no verdict");
        }
        state.ResumeTiming();
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_EndToVerdictCompressed1MiB)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvina
