// Entry point of the widget test binaries: the QApplication lives on main's
// stack so that it goes before Qt's own globals at exit.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>

#include "link/socket_startup.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const corvina::SocketStartup sockets;
    if (!sockets.Started()) {
        std::fprintf(stderr, "%s\n", sockets.Error().c_str());
        return 1;
    }
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
