// Throughput of a 64 KiB binary file (incompressible, and licence text) between
// two sessions on two simulated modems, over a level-4 ARQ link at time scale
// 2: from the receiver's first sight of the transfer to the sender's verdict.
// share_of_air_rate counts record-stream bytes; file_goodput counts file bytes,
// so it shows what compression saves.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "corpus/text_corpus.h"
#include "link/telnet_transport.h"
#include "sim/simulator.h"
#include "support/recording_event_sink.h"
#include "transfer/session_with_transfers.h"
#include "transfer/utf8_path.h"

namespace corvina {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

bool IsTransfer(const UiEvent& event, BinaryTransferKind kind) {
    return event.transferMessage() != nullptr && event.transferMessage()->kind == kind;
}

struct BenchStation {
    testing::RecordingEventSink sink;
    std::filesystem::path folder;
    SessionWithTransfers wired;

    explicit BenchStation(std::filesystem::path where)
        : folder(std::move(where)), wired(sink, folder, folder / "tmp") {}

    bool Connect(std::uint16_t port) {
        std::string error;
        auto transport = CreateTelnetTransport("127.0.0.1", port);
        SessionSettings settings;
        settings.isTelnetLink = true;
        return transport->Open(error) &&
               wired.session().Start(std::move(transport), settings, error) &&
               sink.WaitFor(testing::IsKind(UiEventKind::HostmodeActiveEvent), 5s).has_value();
    }
};

void RunThroughput(benchmark::State& state, const std::vector<std::uint8_t>& file) {
    if (file.empty()) {
        state.SkipWithError("no source for the file on this machine");
        return;
    }
    constexpr double kTimeScale = 2;
    velksim::SimulatorOptions options;
    options.channel.timeScale = kTimeScale;
    options.channel.arqLevel = 4;
    for (const char* call : {"DK1AAA", "DK2BBB"}) {
        velksim::ModemOptions modem;
        modem.name = call;
        options.modems.push_back(modem);
    }
    const double airRate = options.channel.levels[4].bytesPerSecond * kTimeScale;
    velksim::Simulator sim(options);
    std::string error;
    if (!sim.Start(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const auto root = std::filesystem::temp_directory_path() /
                      ("corvina-throughput-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root / "a");
    std::filesystem::create_directories(root / "b");
    double ratio = 0;
    double bytesPerSecond = 0;
    double goodput = 0;
    {
        BenchStation a(root / "a");
        BenchStation b(root / "b");
        if (!a.Connect(sim.modem(0).tcpPort()) || !b.Connect(sim.modem(1).tcpPort())) {
            state.SkipWithError("no session");
            return;
        }
        a.wired.session().QueueCommand({'C', ' ', 'D', 'K', '2', 'B', 'B', 'B'});
        const auto linkDeadline = Clock::now() + 20s;
        while (!(a.wired.session().arqConnected && b.wired.session().arqConnected)) {
            if (Clock::now() > linkDeadline) {
                state.SkipWithError("no ARQ link");
                return;
            }
            std::this_thread::sleep_for(5ms);
        }
        const auto path = root / "a" / "file.bin";
        {
            std::ofstream out(path, std::ios::binary);
            out.write(reinterpret_cast<const char*>(file.data()),
                      static_cast<std::streamsize>(file.size()));
        }
        for (auto _ : state) {
            const std::size_t aMark = a.sink.Size();
            const std::size_t bMark = b.sink.Size();
            const std::uint64_t airBefore = sim.modem(0).counters().bytesOnAir;
            a.wired.transfers().StartBinaryFileSend(path);
            if (!b.sink.WaitFor(
                    [](const UiEvent& e) {
                        return IsTransfer(e, BinaryTransferKind::ReceiveStarted);
                    },
                    20s, bMark)) {
                state.SkipWithError("transfer did not start");
                break;
            }
            const auto start = Clock::now();
            const auto verdict = a.sink.WaitFor(
                [](const UiEvent& e) { return IsTransfer(e, BinaryTransferKind::SendFinished); },
                180s, aMark);
            const auto end = Clock::now();
            if (!verdict || verdict->transferMessage()->result != 0) {
                state.SkipWithError("no CRC OK verdict");
                break;
            }
            a.wired.transfers().EndFileSend();
            const double seconds = std::chrono::duration<double>(end - start).count();
            const double streamBytes =
                static_cast<double>(sim.modem(0).counters().bytesOnAir - airBefore);
            bytesPerSecond = streamBytes / seconds;
            goodput = static_cast<double>(file.size()) / seconds / airRate;
            ratio = bytesPerSecond / airRate;
            state.SetIterationTime(seconds);
        }
        a.wired.session().Disconnect(false);
        b.wired.session().Disconnect(false);
    }
    std::filesystem::remove_all(root);
    state.counters["bytes_per_second"] = bytesPerSecond;
    state.counters["air_rate"] = airRate;
    state.counters["share_of_air_rate"] = ratio;
    state.counters["file_goodput"] = goodput;
}

void BM_BinaryThroughputLevel4(benchmark::State& state) {
    RunThroughput(state, bench::RandomFile(64 * 1024, 4));
}
BENCHMARK(BM_BinaryThroughputLevel4)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_TextFileGoodputLevel4(benchmark::State& state) {
    RunThroughput(state, bench::LicenceText64K());
}
BENCHMARK(BM_TextFileGoodputLevel4)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
}  // namespace corvina
