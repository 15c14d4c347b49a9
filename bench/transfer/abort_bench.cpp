// Abort of a 1 GiB binary send: how long the operator's abort keeps the window
// thread (the AbortBinaryFileSend call), and how long until the sender has
// stopped and the cancel can go out. The abort comes a given time after the
// start, so it lands while the file is read, checked or compressed.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <thread>

#include "transfer/file_transfers.h"

namespace corvina {
namespace {

using Clock = std::chrono::steady_clock;

// A session stand-in with an ARQ link that accepts everything.
class BenchPort final : public TransferPort {
  public:
    TransferFlags Flags() override {
        return TransferFlags{abort_,        fileSend_, binarySend_, binaryAbort_,
                             binaryCancel_, incoming_, arq_,        canSend_};
    }
    bool SessionRunning() override { return true; }
    void Post(UiEvent event) override {
        if (event.kind == UiEventKind::FileSendFinishedEvent) {
            senderEnded_ = true;
        }
    }
    void SetSendCounters(std::uint64_t, std::uint64_t) override {}
    bool QueueData(std::vector<std::uint8_t>, OutboundKind) override { return true; }
    void QueueCommand(std::vector<std::uint8_t>) override {}
    bool QueueVerdict(std::vector<std::uint8_t>, const std::function<void()>&) override {
        return true;
    }
    void RequestBinaryCancel() override { cancelled_ = true; }
    void SetFileResult(std::string, bool) override {}

    bool Stopped() const { return senderEnded_ || cancelled_; }

  private:
    std::atomic<bool> abort_{false}, fileSend_{false}, binarySend_{false}, binaryAbort_{false},
        binaryCancel_{false}, incoming_{false}, arq_{true}, canSend_{true};
    std::atomic<bool> senderEnded_{false}, cancelled_{false};
};

std::filesystem::path LargeFile() {
    static const auto path = std::filesystem::temp_directory_path() / "corvina-abort-bench.bin";
    // Written once per run, removed at exit.
    static const struct Remover {
        ~Remover() {
            std::error_code ignored;
            std::filesystem::remove(path, ignored);
        }
    } remover;
    constexpr std::uintmax_t kSize = std::uintmax_t{1} << 30;
    std::error_code error;
    if (std::filesystem::file_size(path, error) == kSize) {
        return path;
    }
    std::vector<char> block(std::size_t{1} << 20);
    std::mt19937 random(7);
    for (char& c : block) {
        c = static_cast<char>(random());
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (std::uintmax_t i = 0; i < kSize / block.size(); ++i) {
        block[i % block.size()] ^= 1;  // no two MiBs alike
        out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    return path;
}

void BM_AbortOneGibSend(benchmark::State& state) {
    const auto path = LargeFile();
    const auto delay = std::chrono::milliseconds(state.range(0));
    double windowMicros = 0;
    double stopMillis = 0;
    for (auto _ : state) {
        BenchPort port;
        FileTransfers transfers(port, std::filesystem::temp_directory_path());
        if (transfers.StartBinaryFileSend(path).outcome != FileTransfers::StartOutcome::Started) {
            state.SkipWithError("send did not start");
            break;
        }
        std::this_thread::sleep_for(delay);
        const auto pressed = Clock::now();
        transfers.AbortBinaryFileSend();
        const auto windowFree = Clock::now();
        while (!port.Stopped()) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        const auto stopped = Clock::now();
        transfers.FinishBinaryAbort();
        windowMicros = std::chrono::duration<double, std::micro>(windowFree - pressed).count();
        stopMillis = std::chrono::duration<double, std::milli>(stopped - pressed).count();
    }
    state.counters["window_busy_us"] = windowMicros;
    state.counters["sender_stop_ms"] = stopMillis;
}
BENCHMARK(BM_AbortOneGibSend)
    ->Arg(50)
    ->Arg(700)
    ->Arg(2500)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvina
