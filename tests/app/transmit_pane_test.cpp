#include "app/transmit_pane.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QTest>

namespace corvina {
namespace {

// A pane holding "sent" as its sent part and "typed" after it.
class TransmitPaneTest : public testing::Test {
  protected:
    TransmitPaneTest() {
        pane.show();
        pane.setFocus();
        Fill();
    }

    void Fill() {
        pane.Reset();
        pane.setPlainText(QString());
        QTest::keyClicks(&pane, "sent");
        pane.CommitLine();
        QTest::keyClicks(&pane, "typed");
    }

    void PutCaret(int position, int anchor = -1) {
        QTextCursor cursor(pane.document());
        cursor.setPosition(anchor < 0 ? position : anchor);
        cursor.setPosition(position, QTextCursor::KeepAnchor);
        pane.setTextCursor(cursor);
    }

    TransmitPane pane;
};

// Keys near the mark between sent and unsent text: sent text stays, pasted
// text lands at the end, and undo cannot take a sent line back.
TEST_F(TransmitPaneTest, SentTextCannotBeEdited) {
    QApplication::clipboard()->setText("PASTE");
    const struct {
        const char* name;
        int position, anchor;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* expected;
    } cases[] = {
        {"backspace at the mark", 5, -1, Qt::Key_Backspace, Qt::NoModifier, "sent\ntyped"},
        {"delete at the mark", 5, -1, Qt::Key_Delete, Qt::NoModifier, "sent\ntyped"},
        {"backspace inside sent text", 2, -1, Qt::Key_Backspace, Qt::NoModifier, "sent\ntyped"},
        {"selection across the mark", 7, 3, Qt::Key_Delete, Qt::NoModifier, "sent\ntyped"},
        {"cut across the mark", 7, 3, Qt::Key_X, Qt::ControlModifier, "sent\ntyped"},
        {"word back over the mark", 7, -1, Qt::Key_Backspace, Qt::ControlModifier, "sent\nped"},
        {"backspace after the mark", 10, -1, Qt::Key_Backspace, Qt::NoModifier, "sent\ntype"},
        {"delete after the mark", 6, -1, Qt::Key_Delete, Qt::NoModifier, "sent\ntped"},
        {"paste over sent text", 4, 0, Qt::Key_V, Qt::ControlModifier, "sent\ntypedPASTE"},
        {"undo", 10, -1, Qt::Key_Z, Qt::ControlModifier, "sent\ntyped"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Fill();
        PutCaret(c.position, c.anchor);
        QTest::keyClick(&pane, c.key, c.modifiers);
        EXPECT_EQ(pane.toPlainText(), c.expected);
        EXPECT_EQ(pane.Committed(), 5);
    }
}

TEST_F(TransmitPaneTest, TypingInsideSentTextGoesToTheEnd) {
    // Any non-control character counts as typing, whatever its category.
    for (const char* input : {"!", "\t", "\U0001F600", "\u200D", "\u00AD", "\uE000", "\u00A0"}) {
        SCOPED_TRACE(input);
        pane.setPlainText("sent\ntyped");
        PutCaret(4, 1);  // "ent" selected
        QTest::sendKeyEvent(QTest::Click, &pane, Qt::Key_unknown, input, Qt::NoModifier);
        EXPECT_EQ(pane.document()->toRawText(), "sent\u2029typed" + QString::fromUtf8(input));
        EXPECT_EQ(pane.PendingText(), "typed" + QString::fromUtf8(input));
    }
}

// No-break spaces stay as typed; Shift+Return ends a line as Return does; a
// marker goes before the unsent text; only the Ctrl+Y character asks for a
// changeover, while AltGr+Y (Control with Alt) types its character.
TEST_F(TransmitPaneTest, KeysMarkersAndChangeover) {
    QSignalSpy spy(&pane, &TransmitPane::changeoverRequested);
    QTest::keyClicks(&pane, "a\u00A0b");
    QTest::keyClick(&pane, Qt::Key_Return);
    QTest::keyClick(&pane, Qt::Key_Return, Qt::ShiftModifier);
    QTest::sendKeyEvent(QTest::Click, &pane, Qt::Key_Y, "\x19", Qt::ControlModifier);
    QTest::sendKeyEvent(QTest::Click, &pane, Qt::Key_Y, "\u2190",
                        Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(spy.count(), 1);
    EXPECT_EQ(pane.PendingText(), "typeda\u00A0b\n\n\u2190");
    PutCaret(7);
    pane.InsertControlMarker("<Changeover / Break-in>\r\n");
    EXPECT_TRUE(pane.toPlainText().startsWith("sent\n<Changeover / Break-in>\ntyped"));
    EXPECT_EQ(pane.PendingText(), "typeda\u00A0b\n\n\u2190");
    EXPECT_EQ(pane.textCursor().position(), pane.toPlainText().size());
}

TEST(TransmitPaneLimit, InputPastTheLimitIsRefusedWhole) {
    const struct {
        const char* name;
        bool typed;  // typed key by key, else pasted at once
        const char* input;
        int selected;  // characters selected at the end before the input
        const char* expected;
    } cases[] = {
        // The pane holds "0123456789" with a limit of 11.
        {"paste that fills the pane", false, "a", 0, "0123456789a"},
        {"paste one past the limit", false, "ab", 0, "0123456789"},
        {"paste over a selection that frees room", false, "ab", 1, "012345678ab"},
        {"typing past the limit", true, "xy", 0, "0123456789x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TransmitPane pane(nullptr, 11);
        pane.show();
        pane.setFocus();
        QTest::keyClicks(&pane, "0123456789");
        QTextCursor cursor = pane.textCursor();
        cursor.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor, c.selected);
        pane.setTextCursor(cursor);
        if (c.typed) {
            QTest::keyClicks(&pane, c.input);
        } else {
            QApplication::clipboard()->setText(c.input);
            QTest::keyClick(&pane, Qt::Key_V, Qt::ControlModifier);
        }
        EXPECT_EQ(pane.toPlainText(), c.expected);
    }
}

}  // namespace
}  // namespace corvina
