#pragma once

#include <QApplication>

namespace corvina::testing_support {

// The QApplication of a widget test binary, made by qt_test_main.cpp.
inline QApplication& TestApplication() {
    return *qApp;
}

}  // namespace corvina::testing_support
