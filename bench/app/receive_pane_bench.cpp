// Appending modem text to a receive pane that is already at its trim limit.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <vector>

#include "app/control_ids.h"
#include "app/receive_pane.h"

namespace corvina {
namespace {

constexpr int kPieceBytes = 256;
constexpr int kLineLength = 64;

// 256 characters of terminal text: four lines of 63 characters.
QString Piece(int n) {
    QString line(kLineLength - 1, QChar(u'a' + n % 26));
    line += u'\n';
    return line.repeated(kPieceBytes / kLineLength);
}

void FillToLimit(ReceivePane& pane) {
    QString block;
    for (int i = 0; i < 1024; ++i) {
        block += Piece(i);
    }
    while (pane.Length() < kPaneTrimLimit) {
        pane.AppendText(block, false);
    }
}

double Percentile(std::vector<double> samples, double fraction) {
    std::sort(samples.begin(), samples.end());
    return samples[static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1))];
}

// One 256-byte append to a full pane: the trim of the oldest text and the
// insertion, with the pane shown so that layout work is counted too.
void BM_ReceivePaneAppendAtLimit(benchmark::State& state) {
    ReceivePane pane;
    pane.resize(896, 300);
    pane.show();
    FillToLimit(pane);
    QApplication::processEvents();
    std::vector<double> millis;
    int n = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const bool highlight = (n % 8) == 7;
        pane.AppendText(Piece(n), highlight);
        ++n;
        QApplication::processEvents();
        millis.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    state.counters["p50_ms"] = Percentile(millis, 0.50);
    state.counters["p99_ms"] = Percentile(millis, 0.99);
    state.counters["chars"] = pane.Length();
}
BENCHMARK(BM_ReceivePaneAppendAtLimit)->Iterations(2000)->Unit(benchmark::kMillisecond);

// 8 MiB through the pane in 256-byte pieces: the pane never holds more than
// its trim limit plus one piece.
void BM_ReceivePaneStream8MiB(benchmark::State& state) {
    constexpr int kTotal = 8 * 1024 * 1024;
    for (auto _ : state) {
        ReceivePane pane;
        pane.resize(896, 300);
        pane.show();
        int largest = 0;
        for (int sent = 0, n = 0; sent < kTotal; sent += kPieceBytes, ++n) {
            pane.AppendText(Piece(n), false);
            largest = std::max(largest, pane.Length());
        }
        QApplication::processEvents();
        state.counters["max_chars"] = largest;
        state.counters["cap_chars"] = 0x400000;
    }
}
BENCHMARK(BM_ReceivePaneStream8MiB)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvina
