#include "app/echo_pane.h"

#include <QTextBlock>

#include "app/pane_text.h"

namespace corvina {

EchoPane::EchoPane(QWidget* parent, int trimLimit) : QPlainTextEdit(parent), trimLimit_(trimLimit) {
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::ClickFocus);  // not a tab stop
}

void EchoPane::AppendText(const QString& text) {
    AppendToPane(*this, text, nullptr, false, trimLimit_);
}

void EchoPane::AppendLine(const QString& text) {
    const bool atLineStart = document()->lastBlock().text().isEmpty();
    AppendText((atLineStart ? QString() : QStringLiteral("\r\n")) + text + QStringLiteral("\r\n"));
}

}  // namespace corvina
