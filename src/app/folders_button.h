#pragma once

#include <QToolButton>
#include <functional>

#include "link/program_folders.h"

namespace corvina {

// A small button in the header band that names the active mode ("Portable"
// or "Installed") and opens a menu to show the received-files folder and the
// scripts folder in the system's file manager. The folder is created first
// when it does not exist yet. Window thread only.
class FoldersButton : public QToolButton {
    Q_OBJECT

  public:
    // `open` shows a folder and answers false when it could not; `report`
    // receives the error text of a failure. Both are called on the window
    // thread and must stay callable while this button lives.
    FoldersButton(const ProgramFolders& folders, std::function<bool(const QString&)> open,
                  std::function<void(const QString&)> report, QWidget* parent);

    // Creates `folder` if needed and shows it; false, after reporting, when
    // either step failed.
    bool OpenFolder(const std::filesystem::path& folder);

  private:
    std::function<bool(const QString&)> open_;
    std::function<void(const QString&)> report_;
};

// Shows `folder` with the desktop's file manager.
bool OpenFolderInFileManager(const QString& folder);

}  // namespace corvina
