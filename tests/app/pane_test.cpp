#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "app/echo_pane.h"
#include "app/elided_label.h"
#include "app/receive_pane.h"
#include "app/transmit_pane.h"

namespace corvina {
namespace {

// Each append first trims the oldest text to the limit. An operator's selection
// moves with its text and the view stays where it was read, while a pane
// without a selection follows the end.
TEST(Pane, TrimKeepsNewestTextAndTheOperatorsPlace) {
    constexpr int kLimit = 4000;
    ReceivePane pane(nullptr, kLimit);
    ReceivePane following(nullptr, kLimit);
    EchoPane echo(nullptr, kLimit);
    QString all;
    for (int i = 0; i < 100; ++i) {
        const QString line = QStringLiteral("line %1 0123456789012345678901234567890\n").arg(i, 3);
        for (ReceivePane* p : {&pane, &following}) {
            p->AppendText(line, false);
        }
        echo.AppendText(line);
        all += line;
    }
    const int lineLength = 41;
    const QString expected =
        all.left(all.size() - lineLength).right(kLimit) + all.right(lineLength);
    EXPECT_EQ(pane.toPlainText(), expected);
    EXPECT_EQ(echo.toPlainText(), expected);
    for (ReceivePane* p : {&pane, &following}) {
        p->resize(400, 200);
        p->show();
    }
    following.AppendText("more text arriving\n", false);
    EXPECT_GT(following.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(following.verticalScrollBar()->value(), following.verticalScrollBar()->maximum());
    EXPECT_EQ(following.textCursor().position(), following.Length());

    // The operator selects "line  95" and scrolls up to read.
    const int start = pane.toPlainText().indexOf("line  95");
    QTextCursor selection(pane.document());
    selection.setPosition(start);
    selection.setPosition(start + 8, QTextCursor::KeepAnchor);
    pane.setTextCursor(selection);
    pane.verticalScrollBar()->setValue(pane.verticalScrollBar()->maximum() / 2);
    const int scroll = pane.verticalScrollBar()->value();
    const int removed = pane.Length() - kLimit;
    ASSERT_GT(removed, 0);
    pane.AppendText("more text arriving\n", false);
    EXPECT_EQ(pane.textCursor().selectedText(), "line  95");
    EXPECT_EQ(pane.textCursor().selectionStart(), start - removed);
    EXPECT_EQ(pane.verticalScrollBar()->value(), scroll);
}

// The menu of the context-menu event the pane just got.
QMenu* OpenMenu(ReceivePane& pane, QContextMenuEvent::Reason reason, QPoint at) {
    QContextMenuEvent request(reason, at, pane.viewport()->mapToGlobal(at));
    QApplication::sendEvent(pane.viewport(), &request);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    EXPECT_NE(menu, nullptr);
    return menu;
}

// Copy is greyed until something is selected; Ctrl+A selects as the menu does.
TEST(Pane, MenuCopiesAndSelectsAllAndCtrlASelectsToo) {
    ReceivePane pane;
    pane.AppendText("copy me", false);
    pane.show();
    QMenu* menu = OpenMenu(pane, QContextMenuEvent::Keyboard, QPoint(0, 0));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[0]->text(), "Copy");
    EXPECT_EQ(menu->actions()[1]->text(), "Select all");
    EXPECT_FALSE(menu->actions()[0]->isEnabled());
    menu->actions()[1]->trigger();
    EXPECT_EQ(pane.textCursor().selectedText(), "copy me");
    menu->close();

    QApplication::clipboard()->clear();
    menu = OpenMenu(pane, QContextMenuEvent::Mouse, QPoint(7, 9));
    ASSERT_NE(menu, nullptr);
    menu->actions()[0]->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "copy me");
    menu->close();

    pane.moveCursor(QTextCursor::End);
    QTest::keyClick(&pane, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(pane.textCursor().selectionStart(), 0);
    EXPECT_EQ(pane.textCursor().selectionEnd(), pane.Length());
}

TEST(Pane, LongLabelTextEndsInEllipsis) {
    ElidedLabel label("Text file transfer ended: ARQ disconnected");
    label.resize(400, 30);
    EXPECT_EQ(label.ShownText(), label.text());
    label.resize(80, 30);
    EXPECT_TRUE(label.ShownText().endsWith(QChar(0x2026)));
    EXPECT_LT(label.ShownText().size(), label.text().size());
}

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
// text lands at the end, and undo cannot take a sent line back. Any
// non-control character typed inside sent text goes to the end, whatever its
// category.
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
    for (const char* input : {"!", "\t", "\U0001F600", "\u200D", "\u00AD", "\uE000", "\u00A0"}) {
        SCOPED_TRACE(input);
        Fill();
        PutCaret(4, 1);  // "ent" selected
        QTest::sendKeyEvent(QTest::Click, &pane, Qt::Key_unknown, input, Qt::NoModifier);
        EXPECT_EQ(pane.document()->toRawText(), "sent\u2029typed" + QString::fromUtf8(input));
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
