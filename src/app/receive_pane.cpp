#include "app/receive_pane.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

#include "app/pane_text.h"

namespace corvina {

ReceivePane::ReceivePane(QWidget* parent, int trimLimit)
    : QPlainTextEdit(parent), trimLimit_(trimLimit) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setFocusPolicy(Qt::StrongFocus);
}

void ReceivePane::AppendText(const QString& text, bool highlight) {
    QTextCharFormat format;
    format.setFontWeight(highlight ? QFont::Bold : QFont::Normal);
    AppendToPane(*this, text, &format, true, trimLimit_);
}

int ReceivePane::Length() const {
    return DocumentLength(*document());
}

bool ReceivePane::EndsWithLineBreak() const {
    return DocumentEndsWithLineBreak(*document());
}

QMenu* ReceivePane::BuildContextMenu() {
    auto* menu = new QMenu(this);
    QAction* copy = menu->addAction(QStringLiteral("Copy"));
    copy->setData(kMenuCopy);
    copy->setEnabled(textCursor().hasSelection());
    QAction* all = menu->addAction(QStringLiteral("Select all"));
    all->setData(kMenuSelectAll);
    if (openLogFolder_) {
        menu->addSeparator();
        menu->addAction(QStringLiteral("Open log folder"))->setData(kMenuOpenLogFolder);
    }
    return menu;
}

void ReceivePane::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_A && (event->modifiers() & Qt::ControlModifier) != 0) {
        selectAll();
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void ReceivePane::contextMenuEvent(QContextMenuEvent* event) {
    // The event's own position is relative to the viewport, not to the pane.
    const QPoint at = event->reason() == QContextMenuEvent::Keyboard
                          ? mapToGlobal(QPoint(kKeyboardMenuOffset, kKeyboardMenuOffset))
                          : event->globalPos();
    setFocus(Qt::PopupFocusReason);
    QMenu* menu = BuildContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    connect(menu, &QMenu::triggered, this, [this](QAction* action) {
        const int command = action->data().toInt();
        if (command == kMenuCopy) {
            copy();
        } else if (command == kMenuSelectAll) {
            selectAll();
        } else if (command == kMenuOpenLogFolder && openLogFolder_) {
            openLogFolder_();
        }
    });
    menu->popup(at);
    event->accept();
}

}  // namespace corvina
