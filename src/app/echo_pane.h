#pragma once

#include <QPlainTextEdit>

#include "app/control_ids.h"

namespace corvina {

// The read-only confirmed-transmit pane: the modem's delayed echo of what went
// over the air. Window thread only.
class EchoPane : public QPlainTextEdit {
    Q_OBJECT

  public:
    explicit EchoPane(QWidget* parent = nullptr, int trimLimit = kPaneTrimLimit);

    // Appends `text` after trimming the oldest text; the view follows the end.
    void AppendText(const QString& text);
    // Appends `text` on a line of its own.
    void AppendLine(const QString& text);

  private:
    int trimLimit_;
};

}  // namespace corvina
