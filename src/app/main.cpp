// The program: one window, no arguments, no settings.

#include <QApplication>

#include "app/application.h"
#include "app/control_ids.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(corvina::kApplicationName));
    corvina::Application window;
    window.show();
    return QApplication::exec();
}
