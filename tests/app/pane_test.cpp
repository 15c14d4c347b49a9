#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTest>

#include "app/echo_pane.h"
#include "app/elided_label.h"
#include "app/receive_pane.h"

namespace corvina {
namespace {

TEST(Pane, TrimKeepsNewestTextBeforeEachAppend) {
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
    const QString expected = all.left(all.size() - 3).right(kLimit) + "29,";
    EXPECT_EQ(receive.toPlainText(), expected);
    EXPECT_EQ(echo.toPlainText(), expected);
}

TEST(Pane, TrimMovesOperatorSelectionAndDoesNotScrollWhileAnUnselectedPaneFollowsTheEnd) {
    constexpr int kLimit = 4000;
    ReceivePane pane(nullptr, kLimit);
    ReceivePane following;
    for (ReceivePane* p : {&pane, &following}) {
        p->resize(400, 200);
        p->show();
        for (int i = 0; i < 100; ++i) {
            p->AppendText(QStringLiteral("line %1 0123456789012345678901234567890\r\n").arg(i, 3),
                          false);
        }
    }
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
    pane.AppendText("more text arriving\r\n", false);
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

}  // namespace
}  // namespace corvina
