#include "app/transmit_pane.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QTest>

#include "qt_test_app.h"

namespace corvina {
namespace {

// A pane holding "sent" as its sent part and "typed" after it.
class TransmitPaneTest : public testing::Test {
  protected:
    TransmitPaneTest() {
        testing_support::TestApplication();
        pane.show();
        pane.setFocus();
        QTest::keyClicks(&pane, QStringLiteral("sent"));
        pane.CommitLine();
        QTest::keyClicks(&pane, QStringLiteral("typed"));
    }

    void PutCaret(int position, int anchor = -1) {
        QTextCursor cursor(pane.document());
        cursor.setPosition(anchor < 0 ? position : anchor);
        cursor.setPosition(position, QTextCursor::KeepAnchor);
        pane.setTextCursor(cursor);
    }

    TransmitPane pane;
};

TEST_F(TransmitPaneTest, CommittedLineIsTheSentPart) {
    EXPECT_EQ(pane.Committed(), 5);  // "sent" and its line break
    EXPECT_EQ(pane.PendingText(), QStringLiteral("typed"));
}

TEST_F(TransmitPaneTest, DeletingIntoSentTextIsRefused) {
    struct Case {
        const char* name;
        int position;
        int anchor;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QString expected;
    };
    const std::vector<Case> cases = {
        {"backspace at the mark", 5, -1, Qt::Key_Backspace, Qt::NoModifier, "sent\ntyped"},
        {"delete at the mark", 5, -1, Qt::Key_Delete, Qt::NoModifier, "sent\ntyped"},
        {"backspace inside sent text", 2, -1, Qt::Key_Backspace, Qt::NoModifier, "sent\ntyped"},
        {"selection across the mark", 7, 3, Qt::Key_Delete, Qt::NoModifier, "sent\ntyped"},
        {"cut across the mark", 7, 3, Qt::Key_X, Qt::ControlModifier, "sent\ntyped"},
        {"word back over the mark", 7, -1, Qt::Key_Backspace, Qt::ControlModifier, "sent\nped"},
        {"backspace after the mark", 10, -1, Qt::Key_Backspace, Qt::NoModifier, "sent\ntype"},
        {"delete after the mark", 6, -1, Qt::Key_Delete, Qt::NoModifier, "sent\ntped"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pane.Reset();
        pane.setPlainText(QString());
        QTest::keyClicks(&pane, QStringLiteral("sent"));
        pane.CommitLine();
        QTest::keyClicks(&pane, QStringLiteral("typed"));
        PutCaret(c.position, c.anchor);
        QTest::keyClick(&pane, c.key, c.modifiers);
        EXPECT_EQ(pane.toPlainText(), c.expected);
        EXPECT_EQ(pane.Committed(), 5);
    }
}

TEST_F(TransmitPaneTest, TypingInsideSentTextGoesToTheEnd) {
    // Any non-control character counts as typing, whatever its category.
    const QString inputs[] = {
        QStringLiteral("!"),      QStringLiteral("\t"),     QString::fromUtf8("\U0001F600"),
        QStringLiteral("\u200D"), QStringLiteral("\u00AD"), QStringLiteral("\uE000"),
        QStringLiteral("\u00A0"),
    };
    for (const QString& input : inputs) {
        SCOPED_TRACE(input.toStdString());
        pane.setPlainText(QStringLiteral("sent\ntyped"));
        PutCaret(4, 1);  // "ent" selected
        QTest::sendKeyEvent(QTest::Click, &pane, Qt::Key_unknown, input, Qt::NoModifier);
        EXPECT_EQ(pane.document()->toRawText(), QStringLiteral("sent\u2029typed") + input);
        EXPECT_EQ(pane.PendingText(), QStringLiteral("typed") + input);
    }
}

TEST_F(TransmitPaneTest, PendingTextKeepsNoBreakSpaceAndEndsLinesWithLineFeed) {
    QTest::keyClicks(&pane, QStringLiteral("a\u00A0b"));
    QTest::keyClick(&pane, Qt::Key_Return);
    QTest::keyClick(&pane, Qt::Key_Return, Qt::ShiftModifier);  // a line, not a block, break
    QTest::keyClicks(&pane, QStringLiteral("c"));
    EXPECT_EQ(pane.PendingText(), QStringLiteral("typeda\u00A0b\n\nc"));
}

TEST_F(TransmitPaneTest, PasteOverSentTextLandsAtTheEnd) {
    QApplication::clipboard()->setText(QStringLiteral("PASTE"));
    PutCaret(4, 0);  // "sent" selected
    QTest::keyClick(&pane, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(pane.toPlainText(), QStringLiteral("sent\ntypedPASTE"));
    EXPECT_EQ(pane.PendingText(), QStringLiteral("typedPASTE"));
}

TEST(TransmitPaneLimit, InputPastTheLimitIsRefusedWhole) {
    testing_support::TestApplication();
    struct Case {
        const char* name;
        bool typed;  // typed key by key, else pasted at once
        QString input;
        int selected;  // characters selected at the end before the input
        QString expected;
    };
    // The pane holds "0123456789" with a limit of 11.
    const std::vector<Case> cases = {
        {"paste that fills the pane", false, "a", 0, "0123456789a"},
        {"paste one past the limit", false, "ab", 0, "0123456789"},
        {"paste over a selection that frees room", false, "ab", 1, "012345678ab"},
        {"typing past the limit", true, "xy", 0, "0123456789x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TransmitPane pane(nullptr, 11);
        pane.show();
        pane.setFocus();
        QTest::keyClicks(&pane, QStringLiteral("0123456789"));
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

TEST_F(TransmitPaneTest, MarkerGoesBeforeUnsentText) {
    PutCaret(7);
    pane.InsertControlMarker(QStringLiteral("<Changeover / Break-in>\r\n"));
    EXPECT_EQ(pane.toPlainText(), QStringLiteral("sent\n<Changeover / Break-in>\ntyped"));
    EXPECT_EQ(pane.PendingText(), QStringLiteral("typed"));
    EXPECT_EQ(pane.textCursor().position(), pane.toPlainText().size());
}

TEST_F(TransmitPaneTest, OnlyTheCtrlYCharacterAsksForChangeover) {
    struct Case {
        const char* name;
        Qt::KeyboardModifiers modifiers;
        QString text;
        int changeovers;
        QString typed;
    };
    const Case cases[] = {
        {"Ctrl+Y", Qt::ControlModifier, QStringLiteral("\x19"), 1, {}},
        {"AltGr+Y typing a character", Qt::ControlModifier | Qt::AltModifier,
         QStringLiteral("\u2190"), 0, QStringLiteral("\u2190")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QSignalSpy spy(&pane, &TransmitPane::changeoverRequested);
        pane.setPlainText(QStringLiteral("sent\ntyped"));
        pane.moveCursor(QTextCursor::End);
        QTest::sendKeyEvent(QTest::Click, &pane, Qt::Key_Y, c.text, c.modifiers);
        EXPECT_EQ(spy.count(), c.changeovers);
        EXPECT_EQ(pane.toPlainText(), QStringLiteral("sent\ntyped") + c.typed);
    }
}

TEST_F(TransmitPaneTest, UndoCannotTakeBackSentText) {
    QTest::keyClick(&pane, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(pane.toPlainText(), QStringLiteral("sent\ntyped"));
}

}  // namespace
}  // namespace corvina
