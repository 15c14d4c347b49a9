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
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>

#include "app/application.h"
#include "app/control_ids.h"
#include "app/echo_pane.h"
#include "app/receive_pane.h"
#include "app/transmit_pane.h"
#include "qt_test_app.h"

namespace corvina::testing_support {

// A folder of its own for one window's scripts, removed at the end.
class ScratchFolder {
  public:
    ScratchFolder() {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() /
                ("corvina-app-test-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

    void Write(const std::string& name, const std::string& content) const {
        std::ofstream(path_ / name, std::ios::binary) << content;
    }

  private:
    std::filesystem::path path_;
};

// A network search that answers from a list instead of the network. The list
// may be changed between searches; searches run on the window's discovery thread.
class FakeDiscovery {
  public:
    void Answer(std::vector<DiscoveredModem> modems, std::string error = {}) {
        std::lock_guard<std::mutex> lock(mutex_);
        modems_ = std::move(modems);
        error_ = std::move(error);
    }
    int searches() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return searches_;
    }
    ApplicationOptions Options(std::filesystem::path folder) {
        ApplicationOptions options;
        options.logFolder = folder / "log";
        options.scriptFolder = std::move(folder);
        options.discover = [this](std::uint32_t, std::string& error) {
            std::lock_guard<std::mutex> lock(mutex_);
            ++searches_;
            error = error_;
            return modems_;
        };
        return options;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<DiscoveredModem> modems_;
    std::string error_;
    int searches_ = 0;
};

// Runs the event loop until `done` holds or `timeout` passes; true when done.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(8000)) {
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

// Finds the controls of a window by id or by name.
template <class T>
T* Control(Application& window, int id) {
    T* control = window.findChild<T*>(QString::number(id));
    EXPECT_NE(control, nullptr) << "control " << id;
    return control;
}

template <class T>
T* Named(Application& window, const char* name) {
    T* control = window.findChild<T*>(QString::fromUtf8(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
}

inline QString StatusText(Application& window) {
    return Named<QLabel>(window, "statusLine")->text();
}

inline QString ReceiveText(Application& window) {
    return Control<ReceivePane>(window, kIdReceivePane)->toPlainText();
}

}  // namespace corvina::testing_support
