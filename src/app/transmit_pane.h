#pragma once

#include <QPlainTextEdit>

#include "app/control_ids.h"

namespace corvina {

// The transmit pane: everything sent so far followed by the line being typed.
// The first Committed() characters are the sent part; the operator cannot
// delete or change them, and typing or pasting inside them goes to the end of
// the pane instead. It holds at most `characterLimit` characters: typing or a
// paste that would pass it is refused whole, with a beep. Window thread only.
class TransmitPane : public QPlainTextEdit {
    Q_OBJECT

  public:
    explicit TransmitPane(QWidget* parent = nullptr, int characterLimit = kPaneCharacterLimit);

    // Characters at the start that are already submitted; a line break counts
    // as one character.
    int Committed() const { return committed_; }

    // The typed text after the sent part (clamping the sent part to the text).
    QString PendingText();

    // Marks the whole pane as sent after a line was queued: a line break goes
    // to the end and everything becomes the sent part; the view follows.
    void CommitLine();

    // Inserts a control marker at the end of the sent part; the text typed but
    // not sent stays behind it. The sent part grows by the marker.
    void InsertControlMarker(const QString& marker);

    // Forgets the sent part (a new session starts on an empty pane).
    void Reset();

  signals:
    // Ctrl+Y: the operator asks for a changeover without a prompt.
    void changeoverRequested();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    // True when deleting input with the current selection would touch the
    // sent part (or sits right at its end with nothing selected).
    bool DeletionBlocked() const;
    // Moves the caret to the end when the selection starts inside the sent part.
    void MoveCaretOutOfSentPart();
    // False, after a beep, when `incoming` characters in place of the
    // selection would take the pane past its limit.
    bool Fits(qsizetype incoming);

    int committed_ = 0;
    int characterLimit_;
};

}  // namespace corvina
