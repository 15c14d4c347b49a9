#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include "app/echo_pane.h"
#include "app/pane_text.h"
#include "app/receive_pane.h"
#include "qt_test_app.h"

namespace corvina {
namespace {

class PaneTest : public testing::Test {
  protected:
    PaneTest() { testing_support::TestApplication(); }
};

bool BoldAt(const QTextDocument& document, int position) {
    QTextCursor cursor(const_cast<QTextDocument*>(&document));
    cursor.setPosition(position + 1);
    return cursor.charFormat().fontWeight() >= QFont::Bold;
}

TEST_F(PaneTest, HighlightedTextIsBoldAndPlainTextIsNot) {
    ReceivePane pane;
    pane.AppendText(QStringLiteral("plain\r\n"), false);
    pane.AppendText(QStringLiteral("*** CONNECTED to PEER\r\n"), true);
    pane.AppendText(QStringLiteral("after"), false);
    EXPECT_EQ(pane.toPlainText(), QStringLiteral("plain\n*** CONNECTED to PEER\nafter"));
    EXPECT_FALSE(BoldAt(*pane.document(), 0));
    EXPECT_TRUE(BoldAt(*pane.document(), 6));
    EXPECT_FALSE(BoldAt(*pane.document(), pane.Length() - 2));
}

TEST_F(PaneTest, LineBreakCountsAsOneCharacter) {
    ReceivePane pane;
    EXPECT_EQ(pane.Length(), 0);
    EXPECT_FALSE(pane.EndsWithLineBreak());
    pane.AppendText(QStringLiteral("ab\r\n"), false);
    EXPECT_EQ(pane.Length(), 3);
    EXPECT_TRUE(pane.EndsWithLineBreak());
    pane.AppendText(QStringLiteral("c"), false);
    EXPECT_FALSE(pane.EndsWithLineBreak());
}

TEST_F(PaneTest, TrimKeepsNewestTextBeforeEachAppend) {
    constexpr int kLimit = 20;
    ReceivePane receive(nullptr, kLimit);
    EchoPane echo(nullptr, kLimit);
    QString all;
    for (int i = 0; i < 30; ++i) {
        const QString piece = QStringLiteral("%1,").arg(i, 2, 10, QLatin1Char('0'));
        receive.AppendText(piece, false);
        echo.AppendText(piece);
        all += piece;
        // Trimmed to the limit before the append, so never above limit + piece.
        EXPECT_LE(receive.Length(), kLimit + piece.size());
    }
    // Before the last append the pane held the newest 20 characters.
    const QString expected = all.left(all.size() - 3).right(kLimit) + QStringLiteral("29,");
    EXPECT_EQ(receive.toPlainText(), expected);
    EXPECT_EQ(echo.toPlainText(), expected);
}

TEST_F(PaneTest, TrimMovesOperatorSelectionAndDoesNotScroll) {
    constexpr int kLimit = 4000;
    ReceivePane pane(nullptr, kLimit);
    pane.resize(400, 200);
    pane.show();
    for (int i = 0; i < 100; ++i) {
        pane.AppendText(QStringLiteral("line %1 0123456789012345678901234567890\r\n").arg(i, 3),
                        false);
    }
    // The operator selects "line  95" and scrolls up to read.
    const int start = pane.toPlainText().indexOf(QStringLiteral("line  95"));
    QTextCursor selection(pane.document());
    selection.setPosition(start);
    selection.setPosition(start + 8, QTextCursor::KeepAnchor);
    pane.setTextCursor(selection);
    pane.verticalScrollBar()->setValue(pane.verticalScrollBar()->maximum() / 2);
    const int scroll = pane.verticalScrollBar()->value();

    const int before = pane.Length();
    pane.AppendText(QStringLiteral("more text arriving\r\n"), false);
    const int removed = before - kLimit;
    ASSERT_GT(removed, 0);
    EXPECT_EQ(pane.textCursor().selectedText(), QStringLiteral("line  95"));
    EXPECT_EQ(pane.textCursor().selectionStart(), start - removed);
    EXPECT_EQ(pane.verticalScrollBar()->value(), scroll);
}

TEST_F(PaneTest, AppendWithoutSelectionFollowsTheEnd) {
    ReceivePane pane;
    pane.resize(300, 120);
    pane.show();
    for (int i = 0; i < 60; ++i) {
        pane.AppendText(QStringLiteral("row %1\r\n").arg(i), false);
    }
    EXPECT_EQ(pane.verticalScrollBar()->value(), pane.verticalScrollBar()->maximum());
    EXPECT_GT(pane.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(pane.textCursor().position(), pane.Length());
}

TEST_F(PaneTest, CopyIsGreyedWithoutSelection) {
    ReceivePane pane;
    pane.AppendText(QStringLiteral("some text"), false);
    std::unique_ptr<QMenu> menu(pane.BuildContextMenu());
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Copy"));
    EXPECT_EQ(menu->actions()[1]->text(), QStringLiteral("Select all"));
    EXPECT_FALSE(menu->actions()[0]->isEnabled());

    pane.selectAll();
    std::unique_ptr<QMenu> withSelection(pane.BuildContextMenu());
    EXPECT_TRUE(withSelection->actions()[0]->isEnabled());
}

TEST_F(PaneTest, ContextMenuCommandsSelectAndCopy) {
    ReceivePane pane;
    pane.AppendText(QStringLiteral("copy me"), false);
    pane.show();
    QContextMenuEvent request(QContextMenuEvent::Keyboard, QPoint(0, 0),
                              pane.mapToGlobal(QPoint(0, 0)));
    QApplication::sendEvent(pane.viewport(), &request);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->pos(), pane.mapToGlobal(QPoint(kKeyboardMenuOffset, kKeyboardMenuOffset)));
    menu->actions()[1]->trigger();  // "Select all"
    EXPECT_EQ(pane.textCursor().selectedText(), QStringLiteral("copy me"));
    menu->close();

    QApplication::clipboard()->clear();
    const QPoint click(7, 9);  // in the viewport, which is inset by the pane's frame
    QContextMenuEvent mouse(QContextMenuEvent::Mouse, click, pane.viewport()->mapToGlobal(click));
    QApplication::sendEvent(pane.viewport(), &mouse);
    menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->pos(), mouse.globalPos());
    menu->actions()[0]->trigger();  // "Copy"
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("copy me"));
    menu->close();
}

TEST_F(PaneTest, CtrlASelectsEverything) {
    ReceivePane pane;
    pane.AppendText(QStringLiteral("first\r\nsecond"), false);
    pane.show();
    QTest::keyClick(&pane, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(pane.textCursor().selectionStart(), 0);
    EXPECT_EQ(pane.textCursor().selectionEnd(), pane.Length());
}

}  // namespace
}  // namespace corvina

#include "app/elided_label.h"

namespace corvina {
namespace {

TEST_F(PaneTest, LongLabelTextEndsInEllipsis) {
    ElidedLabel label(QStringLiteral("Text file transfer ended: ARQ disconnected"));
    label.resize(400, 30);
    EXPECT_EQ(label.ShownText(), label.text());
    label.resize(80, 30);
    EXPECT_TRUE(label.ShownText().endsWith(QChar(0x2026)));
    EXPECT_LT(label.ShownText().size(), label.text().size());
}

}  // namespace
}  // namespace corvina
