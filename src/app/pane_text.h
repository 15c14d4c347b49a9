#pragma once

#include <QScrollBar>
#include <QString>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

namespace corvina {

// Characters in `document`; a line break counts as one character.
int DocumentLength(const QTextDocument& document);

// True when the document's last character is a line break.
bool DocumentEndsWithLineBreak(const QTextDocument& document);

// True when `text` ends with CR or LF.
bool EndsWithLineBreak(const QString& text);

// Removes the oldest characters in one edit so that at most `limit` remain.
// Returns how many were removed.
int TrimDocumentFront(QTextDocument& document, int limit);

// Appends `text` to a read-only pane (a QPlainTextEdit), window
// thread only. Before the append the pane is trimmed to `limit` characters.
// With `keepSelection` a non-empty selection of the operator survives (moved
// back by the trimmed amount) and the view does not move; otherwise the caret
// goes to the end and the view to the bottom. `format` may be null (plain).
template <class Edit>
void AppendToPane(Edit& edit, const QString& text, const QTextCharFormat* format,
                  bool keepSelection, int limit) {
    if (text.isEmpty()) {
        return;
    }
    QTextDocument& document = *edit.document();
    const QTextCursor before = edit.textCursor();
    const bool restoreSelection = keepSelection && before.hasSelection();
    const int anchor = before.anchor();
    const int position = before.position();
    const int verticalScroll = edit.verticalScrollBar()->value();
    const int horizontalScroll = edit.horizontalScrollBar()->value();

    const int removed = TrimDocumentFront(document, limit);

    QTextCursor end(&document);
    end.movePosition(QTextCursor::End);
    if (format != nullptr) {
        end.insertText(text, *format);
    } else {
        end.insertText(text);
    }

    if (restoreSelection) {
        QTextCursor selection(&document);
        selection.setPosition(std::max(anchor - removed, 0));
        selection.setPosition(std::max(position - removed, 0), QTextCursor::KeepAnchor);
        edit.setTextCursor(selection);
        edit.verticalScrollBar()->setValue(verticalScroll);
        edit.horizontalScrollBar()->setValue(horizontalScroll);
        return;
    }
    end.movePosition(QTextCursor::End);
    edit.setTextCursor(end);
    edit.ensureCursorVisible();
    edit.verticalScrollBar()->setValue(edit.verticalScrollBar()->maximum());
}

}  // namespace corvina
