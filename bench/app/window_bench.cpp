// Window start-up time and how often an idle connected window wakes up.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "app/application.h"
#include "app/control_ids.h"
#include "app/event_bridge.h"
#include "sim/simulator.h"

namespace corvina {
namespace {

std::filesystem::path ScratchFolder(const char* name) {
    const auto folder = std::filesystem::temp_directory_path() / name;
    std::filesystem::create_directories(folder);
    return folder;
}

ApplicationOptions QuietOptions(std::filesystem::path folder) {
    ApplicationOptions options;
    options.folders = PortableFolders(folder);
    options.discover = [](std::uint32_t, std::string&) { return std::vector<DiscoveredModem>(); };
    return options;
}

// From constructing the window to its first frame on the screen.
void BM_WindowStartToFirstFrame(benchmark::State& state) {
    const auto folder = ScratchFolder("corvina-bench-start");
    for (auto _ : state) {
        Application window(QuietOptions(folder));
        window.show();
        if (!QTest::qWaitForWindowExposed(&window)) {
            state.SkipWithError("window never exposed");
            break;
        }
        (void)window.grab();  // forces the first full paint
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_WindowStartToFirstFrame)->Iterations(20)->Unit(benchmark::kMillisecond);

// Counts what wakes the window thread of an idle, connected window for a few
// seconds: the worker events posted to the window, and every timer tick in
// the program (the window's own timers and those of Qt's widgets, such as the
// caret blink of the focused edit).
class WakeCounter : public QObject {
  public:
    int workerEvents = 0;
    int timerEvents = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == UiQEvent::EventType()) {
            ++workerEvents;
        } else if (event->type() == QEvent::Timer || event->type() == QEvent::ZeroTimerEvent) {
            ++timerEvents;
        }
        return false;
    }
};

void BM_IdleConnectedWindowWakeups(benchmark::State& state) {
    velksim::SimulatorOptions options;
    options.modems.push_back({});
    velksim::Simulator sim(options);
    std::string error;
    if (!sim.Start(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const auto folder = ScratchFolder("corvina-bench-idle");
    std::ofstream(folder / "startup.txt") << "[Modem]\ntelnet=127.0.0.1\nautostart=on\n";
    constexpr int kIdleSeconds = 5;
    for (auto _ : state) {
        Application window(QuietOptions(folder));
        window.findChild<QLineEdit*>(QString::number(kIdTcpPort))
            ->setText(QString::number(sim.modem(0).tcpPort()));
        window.show();
        QTest::qWait(1500);  // connect and settle
        WakeCounter counter;
        qApp->installEventFilter(&counter);
        QTest::qWait(kIdleSeconds * 1000);
        qApp->removeEventFilter(&counter);
        state.counters["worker_events_per_s"] =
            static_cast<double>(counter.workerEvents) / kIdleSeconds;
        state.counters["timer_events_per_s"] =
            static_cast<double>(counter.timerEvents) / kIdleSeconds;
        state.counters["connected"] = window.flags().sessionActive ? 1 : 0;
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_IdleConnectedWindowWakeups)->Iterations(1)->Unit(benchmark::kMillisecond);

// The longest the window thread goes without running its event loop while
// Connect leads a modem through its terminal dialogue: one that keeps printing
// (argument 0) and one that prints nothing until told to quit (argument 1).
void BM_ConnectWindowStall(benchmark::State& state) {
    const bool silent = state.range(0) == 1;
    velksim::SimulatorOptions options;
    velksim::ModemOptions modem;
    modem.faults.chatterMs = silent ? 0 : 5;
    modem.terminal.silentUntilQuit = silent;
    options.modems.push_back(modem);
    velksim::Simulator sim(options);
    std::string error;
    if (!sim.Start(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const auto folder = ScratchFolder("corvina-bench-connect");
    std::ofstream(folder / "startup.txt") << "[Modem]\ntelnet=127.0.0.1\n";
    for (auto _ : state) {
        Application window(QuietOptions(folder));
        window.findChild<QLineEdit*>(QString::number(kIdTcpPort))
            ->setText(QString::number(sim.modem(0).tcpPort()));
        window.show();
        QElapsedTimer clock;
        qint64 last = 0;
        qint64 longest = 0;
        QTimer beat;
        QObject::connect(&beat, &QTimer::timeout, [&] {
            longest = std::max(longest, clock.elapsed() - last);
            last = clock.elapsed();
        });
        beat.start(1);
        clock.start();
        window.Connect(false);
        longest = std::max(longest, clock.elapsed());
        last = clock.elapsed();
        while (!window.session().sessionActive() && clock.elapsed() < 30000) {
            QTest::qWait(5);
        }
        state.counters["longest_stall_ms"] = static_cast<double>(longest);
        state.counters["connect_ms"] = static_cast<double>(clock.elapsed());
        state.counters["connected"] = window.session().sessionActive() ? 1 : 0;
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ConnectWindowStall)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace corvina
