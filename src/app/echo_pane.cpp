#include "app/echo_pane.h"

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

}  // namespace corvina
