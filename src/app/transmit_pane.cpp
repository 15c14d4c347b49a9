#include "app/transmit_pane.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>

#include "app/pane_text.h"

namespace corvina {
namespace {

constexpr char16_t kTab = u'\t';
// The character Ctrl+Y types. Keying on it rather than on Control and Y leaves
// AltGr combinations (reported as Control with Alt) free to type their letter.
constexpr char16_t kChangeoverCharacter = u'\x19';

bool IsDeletingKey(QKeyEvent* event) {
    return event->key() == Qt::Key_Backspace || event->matches(QKeySequence::Delete) ||
           event->matches(QKeySequence::Cut) || event->matches(QKeySequence::DeleteEndOfWord) ||
           event->matches(QKeySequence::DeleteEndOfLine);
}

bool IsInsertingKey(QKeyEvent* event) {
    const QString text = event->text();
    if (text.isEmpty()) {
        return false;
    }
    // Emoji (surrogate pairs), format and private-use characters are input too;
    // only control characters other than Tab are not.
    const QChar first = text.front();
    return first == kTab || first.category() != QChar::Other_Control;
}

}  // namespace

TransmitPane::TransmitPane(QWidget* parent, int characterLimit)
    : QPlainTextEdit(parent), characterLimit_(characterLimit) {
    // Undo could take back a sent line or a marker.
    setUndoRedoEnabled(false);
    // A drag would move sent text out of the pane.
    setAcceptDrops(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setTabChangesFocus(false);
}

QString TransmitPane::PendingText() {
    const int length = DocumentLength(*document());
    committed_ = std::min(committed_, length);
    QTextCursor cursor(document());
    cursor.setPosition(committed_);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    // selectedText keeps U+00A0, which toPlainText would turn into a space;
    // the block and line separators it returns instead are line feeds.
    QString text = cursor.selectedText();
    text.replace(QChar::ParagraphSeparator, u'\n').replace(QChar::LineSeparator, u'\n');
    return text;
}

void TransmitPane::CommitLine() {
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral("\n"));
    committed_ = DocumentLength(*document());
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
    ensureCursorVisible();
    setFocus(Qt::OtherFocusReason);
}

void TransmitPane::InsertControlMarker(const QString& marker) {
    committed_ = std::min(committed_, DocumentLength(*document()));
    QTextCursor cursor(document());
    cursor.setPosition(committed_);
    cursor.insertText(marker);
    committed_ = cursor.position();
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
    ensureCursorVisible();
}

void TransmitPane::Reset() {
    clear();
    committed_ = 0;
}

bool TransmitPane::DeletionBlocked() const {
    const QTextCursor cursor = textCursor();
    const int start = cursor.selectionStart();
    return start < committed_ || (!cursor.hasSelection() && start == committed_);
}

void TransmitPane::MoveCaretOutOfSentPart() {
    QTextCursor cursor = textCursor();
    if (cursor.selectionStart() < committed_) {
        cursor.movePosition(QTextCursor::End);
        setTextCursor(cursor);
    }
}

bool TransmitPane::Fits(qsizetype incoming) {
    const QTextCursor cursor = textCursor();
    const qsizetype after =
        DocumentLength(*document()) - (cursor.selectionEnd() - cursor.selectionStart()) + incoming;
    if (after <= characterLimit_) {
        return true;
    }
    QApplication::beep();
    return false;
}

void TransmitPane::keyPressEvent(QKeyEvent* event) {
    if (event->text() == QChar(kChangeoverCharacter)) {
        emit changeoverRequested();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo)) {
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::DeleteStartOfWord) ||
        event->matches(QKeySequence::DeleteCompleteLine)) {
        // Word and line deletions reach back; they stop at the sent part.
        QTextCursor cursor = textCursor();
        if (DeletionBlocked()) {
            event->accept();
            return;
        }
        if (!cursor.hasSelection()) {
            const int end = cursor.position();
            cursor.movePosition(event->matches(QKeySequence::DeleteStartOfWord)
                                    ? QTextCursor::PreviousWord
                                    : QTextCursor::StartOfBlock);
            cursor.setPosition(std::max(cursor.position(), committed_));
            cursor.setPosition(end, QTextCursor::KeepAnchor);
        }
        cursor.removeSelectedText();
        event->accept();
        return;
    }
    if (IsDeletingKey(event)) {
        if (DeletionBlocked()) {
            event->accept();
            return;
        }
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    if (IsInsertingKey(event)) {
        MoveCaretOutOfSentPart();
        if (!Fits(event->text().size())) {
            event->accept();
            return;
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TransmitPane::insertFromMimeData(const QMimeData* source) {
    MoveCaretOutOfSentPart();
    if (source != nullptr && !Fits(source->text().size())) {
        return;
    }
    QPlainTextEdit::insertFromMimeData(source);
}

void TransmitPane::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty() || !event->preeditString().isEmpty()) {
        MoveCaretOutOfSentPart();
        if (!Fits(event->commitString().size())) {
            event->accept();
            return;
        }
    }
    QPlainTextEdit::inputMethodEvent(event);
}

void TransmitPane::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createStandardContextMenu(event->pos());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const bool blocked = DeletionBlocked();
    for (QAction* action : menu->actions()) {
        const QString name = action->objectName();
        if (name == QLatin1String("edit-undo") || name == QLatin1String("edit-redo")) {
            action->setVisible(false);
        } else if (blocked &&
                   (name == QLatin1String("edit-cut") || name == QLatin1String("edit-delete"))) {
            action->setEnabled(false);
        }
    }
    menu->popup(event->globalPos());
    event->accept();
}

}  // namespace corvina
