#include "app/folders_button.h"

#include <QDesktopServices>
#include <QMenu>
#include <QUrl>

namespace corvina {
namespace {

QString PathText(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return QString::fromUtf8(reinterpret_cast<const char*>(text.data()),
                             static_cast<qsizetype>(text.size()));
}

}  // namespace

FoldersButton::FoldersButton(const ProgramFolders& folders,
                             std::function<bool(const QString&)> open,
                             std::function<void(const QString&)> report, QWidget* parent)
    : QToolButton(parent), open_(std::move(open)), report_(std::move(report)) {
    setObjectName(QStringLiteral("foldersButton"));
    setText(folders.portable ? QStringLiteral("Portable") : QStringLiteral("Installed"));
    setToolTip(folders.portable
                   ? QStringLiteral("Portable copy: scripts and received files in %1")
                         .arg(PathText(folders.scriptFolder))
                   : QStringLiteral("Installed: scripts in %1, received files in %2")
                         .arg(PathText(folders.scriptFolder), PathText(folders.receiveFolder)));
    setPopupMode(QToolButton::InstantPopup);
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);  // Tab keeps moving between the operating controls

    auto* menu = new QMenu(this);
    const std::filesystem::path received = folders.receiveFolder;
    const std::filesystem::path scripts = folders.scriptFolder;
    const std::filesystem::path logs = folders.logFolder;
    menu->addAction(QStringLiteral("Open received files folder"), this,
                    [this, received] { OpenFolder(received); });
    menu->addAction(QStringLiteral("Open scripts folder"), this,
                    [this, scripts] { OpenFolder(scripts); });
    menu->addAction(QStringLiteral("Open log folder"), this, [this, logs] { OpenFolder(logs); });
    setMenu(menu);
}

bool FoldersButton::OpenFolder(const std::filesystem::path& folder) {
    std::string error;
    if (!CreateProgramFolder(folder, error)) {
        report_(QString::fromUtf8(error.data(), static_cast<qsizetype>(error.size())));
        return false;
    }
    if (!open_(PathText(folder))) {
        report_(QStringLiteral("Could not open %1").arg(PathText(folder)));
        return false;
    }
    return true;
}

bool OpenFolderInFileManager(const QString& folder) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

}  // namespace corvina
