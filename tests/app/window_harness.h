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
#include <mutex>
#include <ostream>
#include <string>

#include "app/application.h"
#include "app/control_ids.h"
#include "app/echo_pane.h"
#include "app/receive_pane.h"
#include "app/transmit_pane.h"
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

// Finds a control of a window by id or by name.
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

}  // namespace corvina::testing_support
