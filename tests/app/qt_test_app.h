#pragma once

#include <QApplication>

namespace corvina::testing_support {

// The one QApplication of a widget test binary, created on first use. Tests
// run without a display unless one was asked for.
inline QApplication& TestApplication() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static int argc = 1;
    static char name[] = "corvina-test";
    static char* argv[] = {name, nullptr};
    static QApplication application(argc, argv);
    return application;
}

}  // namespace corvina::testing_support
