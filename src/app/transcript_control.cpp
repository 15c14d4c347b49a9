// The window's session transcript and the way to its folder.

#include "app/application.h"
#include "app/folders_button.h"

namespace corvina {

std::filesystem::path Application::LogFolder() const {
    return options_.folders.logFolder;
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
    foldersButton_->OpenFolder(LogFolder());
}

}  // namespace corvina
