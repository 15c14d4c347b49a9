#pragma once

#include <memory>
#include <string>

#include "sim/simulator.h"
#include "window_harness.h"

namespace corvina::testing_support {

// Windows on simulated modems, each window with a folder of its own whose
// startup.txt names its link. Window i talks to modem i and calls itself DEMO<i+1>.
class StationWindowsTest : public ::testing::Test {
  protected:
    static constexpr int kStations = 2;

    void TearDown() override {
        for (auto& window : windows) {
            window.reset();
        }
        sim.reset();
    }

    void StartModems(velksim::SimulatorOptions options) {
        sim = std::make_unique<velksim::Simulator>(std::move(options));
        std::string error;
        ASSERT_TRUE(sim->Start(error)) << error;
    }

    static std::string Call(int i) { return "DEMO" + std::to_string(i + 1); }

    // The window's automatic start is queued, so the modem's port goes into the
    // port box before it runs.
    Application& Open(int i, const std::string& modemSection) {
        folders[i].WriteFile("startup.txt",
                             "[Term]\nMYCALL " + Call(i) + "\n[Modem]\n" + modemSection);
        ApplicationOptions options = discovery[i].Options(folders[i].path());
        options.chooseFile = [this, i](QWidget*, const QString&) { return chosenFile[i]; };
        windows[i] = std::make_unique<Application>(std::move(options));
        const auto modem = static_cast<std::size_t>(i);
        Control<QLineEdit>(*windows[i], kIdTcpPort)
            ->setText(QString::number(sim->modem(modem).tcpPort()));
        windows[i]->show();
        return *windows[i];
    }

    static bool WaitActive(Application& window, std::chrono::milliseconds timeout = 8s) {
        return WaitUntil([&] { return StatusText(window) == "HOSTMODE ACTIVE"; }, timeout);
    }

    std::unique_ptr<velksim::Simulator> sim;
    Folder folders[kStations];
    FakeDiscovery discovery[kStations];
    std::unique_ptr<Application> windows[kStations];
    QString chosenFile[kStations];  // what each window's file dialog answers
};

}  // namespace corvina::testing_support
