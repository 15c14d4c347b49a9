#include "app/pane_text.h"

#include <QTextBlock>

namespace corvina {

int DocumentLength(const QTextDocument& document) {
    // characterCount() includes the separator after the last block.
    return document.characterCount() - 1;
}

bool DocumentEndsWithLineBreak(const QTextDocument& document) {
    return document.blockCount() > 1 && document.lastBlock().length() == 1;
}

bool EndsWithLineBreak(const QString& text) {
    return !text.isEmpty() && (text.back() == u'\r' || text.back() == u'\n');
}

int TrimDocumentFront(QTextDocument& document, int limit) {
    const int length = DocumentLength(document);
    if (length <= limit) {
        return 0;
    }
    const int excess = length - limit;
    QTextCursor cursor(&document);
    cursor.setPosition(0);
    cursor.setPosition(excess, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    return excess;
}

}  // namespace corvina
