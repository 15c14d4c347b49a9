// The program: one window, no arguments, no settings.

#include <QApplication>
#include <QMessageBox>

#include "app/application.h"
#include "app/control_ids.h"
#include "link/socket_startup.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(corvina::kApplicationName));
    // No link can work without sockets, so the program does not start.
    const corvina::SocketStartup sockets;
    if (!sockets.Started()) {
        QMessageBox::critical(nullptr, QString::fromUtf8(corvina::kApplicationName),
                              QString::fromStdString(sockets.Error()));
        return 1;
    }
    corvina::Application window;
    window.show();
    return QApplication::exec();
}
