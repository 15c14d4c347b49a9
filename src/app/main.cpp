// The program: one window. The command line chooses the folders and may name
// the link; everything else is in the window.

#include <QApplication>
#include <QMessageBox>
#include <iostream>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/command_line.h"
#include "app/control_ids.h"
#include "link/program_folders.h"
#include "link/socket_startup.h"

int main(int argc, char** argv) {
    // Answered before the toolkit starts, so --help works without a display.
    const corvina::CommandLine line =
        corvina::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto code = corvina::AnswerWithoutWindow(line, std::cout, std::cerr)) {
        return *code;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(corvina::kApplicationName));
    // No link can work without sockets, so the program does not start.
    const corvina::SocketStartup sockets;
    if (!sockets.Started()) {
        QMessageBox::critical(nullptr, QString::fromUtf8(corvina::kApplicationName),
                              QString::fromStdString(sockets.Error()));
        return 1;
    }
    // The desktop matches the window to its menu entry by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.corvina.Corvina"));

    corvina::FolderRequest request = line.folders;
    if (!request.folder.empty()) {
        request.folder = std::filesystem::absolute(request.folder);
    }
    corvina::ApplicationOptions options;
    options.folders = corvina::ChooseProgramFolders(request, corvina::SystemFolderEnvironment());
    options.connect = line.connect;
    corvina::Application window(std::move(options));
    window.show();
    return QApplication::exec();
}
