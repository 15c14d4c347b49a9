// The window's session transcript and the way to its folder.

#include <QDesktopServices>
#include <QUrl>

#include "app/application.h"
#include "app/receive_pane.h"
#include "link/executable_path.h"

namespace corvina {

std::filesystem::path Application::LogFolder() const {
    if (!options_.logFolder.empty()) {
        return options_.logFolder;
    }
    std::filesystem::path folder;
    return ExecutableSiblingPath("log", folder) ? folder : std::filesystem::path("log");
}

void Application::ApplyTranscriptSetting() {
    if (!startupScript_.modem.log) {
        transcript_.reset();
    } else if (!transcript_) {
        transcript_ = std::make_unique<TranscriptWriter>(LogFolder());
    }
}

void Application::RecordTranscript(const UiEvent& event) {
    if (transcript_) {
        transcript_->Append(event);
    }
}

void Application::RecordCommand(const QString& command) {
    if (transcript_) {
        transcript_->Append(TranscriptKind::Command, command.toStdString());
    }
}

void Application::OpenLogFolder() {
    const std::filesystem::path folder = LogFolder();
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdU16String(folder.u16string())));
}

}  // namespace corvina
