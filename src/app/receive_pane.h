#pragma once

#include <QPlainTextEdit>
#include <functional>

#include "app/control_ids.h"

class QMenu;

namespace corvina {

// The read-only receive pane: modem and peer text, link messages in bold. A
// plain-text document with character formats: it trims its oldest text about a
// hundred times faster than a rich-text one at the size it is kept to.
// Ctrl+A selects everything; the context menu offers "Copy" (greyed without a
// selection) and "Select all". Window thread only.
class ReceivePane : public QPlainTextEdit {
    Q_OBJECT

  public:
    // `trimLimit`: characters kept before each append.
    explicit ReceivePane(QWidget* parent = nullptr, int trimLimit = kPaneTrimLimit);

    // Appends `text`, bold when `highlight`. Trims the oldest text first; an
    // operator's selection survives and the view then stays where it is.
    void AppendText(const QString& text, bool highlight);

    // The characters of the pane, as counted for the trim.
    int Length() const;
    bool EndsWithLineBreak() const;

    // The context menu as it would show now, parented to the pane. Each
    // action's data is its command (kMenuCopy, kMenuSelectAll).
    QMenu* BuildContextMenu();

    // Adds "Open log folder" to the context menu, running `open` when chosen.
    void SetOpenLogFolder(std::function<void()> open) { openLogFolder_ = std::move(open); }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    int trimLimit_;
    std::function<void()> openLogFolder_;
};

// Offset of the context menu from the pane's corner when opened by keyboard.
inline constexpr int kKeyboardMenuOffset = 12;
inline constexpr int kMenuCopy = 1;
inline constexpr int kMenuSelectAll = 2;
inline constexpr int kMenuOpenLogFolder = 3;

}  // namespace corvina
