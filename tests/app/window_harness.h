#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <random>
#include <string>

#include "app/application.h"
#include "app/control_ids.h"
#include "app/echo_pane.h"
#include "app/receive_pane.h"
#include "app/transmit_pane.h"
#include "sim/simulator.h"
#include "support/temporary_folder.h"

// Failure messages show a QString as text.
inline std::ostream& operator<<(std::ostream& out, const QString& text) {
    return out << '"' << text.toStdString() << '"';
}

namespace corvina::testing_support {

using Folder = corvina::testing::TemporaryFolder;
using namespace std::chrono_literals;

// The status line's colour for errors.
inline const QColor kErrorRed(184, 32, 38);

// A network search that answers from a list, which the test may change
// between searches; searches run on the window's discovery thread.
class FakeDiscovery {
  public:
    void Answer(std::vector<DiscoveredModem> modems, std::string error = {}) {
        const std::lock_guard<std::mutex> lock(mutex_);
        modems_ = std::move(modems);
        error_ = std::move(error);
    }
    ApplicationOptions Options(const std::filesystem::path& folder) {
        ApplicationOptions options;
        options.folders = PortableFolders(folder);
        options.discover = [this](std::uint32_t, std::string& error) {
            const std::lock_guard<std::mutex> lock(mutex_);
            error = error_;
            return modems_;
        };
        return options;
    }

  private:
    std::mutex mutex_;
    std::vector<DiscoveredModem> modems_;
    std::string error_;
};

// Runs the event loop until `done` holds or `timeout` passes; true when done.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 8s) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeout.count()) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        QTest::qWait(5);
    }
    return true;
}

// Finds a control of a window by name; a control with an id is named by it.
template <class T>
T* Named(Application& window, const QString& name) {
    T* control = window.findChild<T*>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
}

template <class T>
T* Control(Application& window, int id) {
    return Named<T>(window, QString::number(id));
}

inline void Click(Application& window, int id) {
    QTest::mouseClick(Control<QPushButton>(window, id), Qt::LeftButton);
}

inline QString LabelText(Application& window, const char* name) {
    return Named<QLabel>(window, name)->text();
}

inline QString StatusText(Application& window) {
    return LabelText(window, "statusLine");
}

inline QColor Colour(Application& window, const char* label = "statusLine") {
    return Named<QLabel>(window, label)->palette().color(QPalette::WindowText);
}

inline QString ReceiveText(Application& window) {
    return Control<ReceivePane>(window, kIdReceivePane)->toPlainText();
}

inline QString EchoText(Application& window) {
    return Control<EchoPane>(window, kIdEchoPane)->toPlainText();
}

inline void Type(QWidget* widget, const QString& text) {
    widget->setFocus();
    QTest::keyClicks(widget, text);
}

// Waits until one of `window`'s panes, read by `pane`, holds `text`.
inline bool WaitForText(QString (*pane)(Application&), Application& window, const QString& text,
                        std::chrono::milliseconds timeout = 8s) {
    return WaitUntil([&] { return pane(window).contains(text); }, timeout);
}

// Windows on simulated modems, each window with a folder of its own whose
// startup.txt names its link. Window i talks to modem i and calls itself DEMO<i+1>.
class StationWindowsTest : public ::testing::Test {
  protected:
    static constexpr int kStations = 2;

    void StartModems(velksim::SimulatorOptions options) {
        sim = std::make_unique<velksim::Simulator>(std::move(options));
        std::string error;
        ASSERT_TRUE(sim->Start(error)) << error;
    }

    // Modem 0 alone, on TCP and on a pseudo-terminal whose symlink lies under
    // /dev, as a device name in startup.txt must.
    void StartModem(std::uint16_t tcpPort = 0, std::uint32_t chatterMs = 0) {
        velksim::SimulatorOptions options;
        velksim::ModemOptions& modem = options.modems.emplace_back();
        modem.name = Call(0);
        modem.tcpPort = tcpPort;
        modem.pty = true;
        modem.ptyLink = ptyLink;
        modem.faults.chatterMs = chatterMs;
        StartModems(std::move(options));
    }

    static std::string Call(int i) { return "DEMO" + std::to_string(i + 1); }

    // Window i's file dialog answers with the file `name`, written with `content`.
    void ChooseFile(int i, const std::string& name, const std::string& content) {
        chosenFile[i] = QString::fromStdString(folders[i].WriteFile(name, content).string());
    }

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

    // Declared so that the windows go first, then their folders, then the modems.
    std::unique_ptr<velksim::Simulator> sim;
    Folder folders[kStations];
    FakeDiscovery discovery[kStations];
    std::unique_ptr<Application> windows[kStations];
    QString chosenFile[kStations];  // what each window's file dialog answers
    std::filesystem::path ptyLink =
        "/dev/shm/corvina-window-test-" + std::to_string(std::random_device{}());
};

}  // namespace corvina::testing_support
