#include "app/action_button.h"

#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

#include "app/window_style.h"

namespace corvina {
namespace {

constexpr int kFocusInset = 4;

}  // namespace

ActionButton::ActionButton(const QString& text, std::function<bool()> ready, QWidget* parent)
    : QPushButton(text, parent), ready_(std::move(ready)) {}

bool ActionButton::DrawsReadyLook() const {
    return !IsHighContrast() && isEnabled() && ready_ && ready_();
}

void ActionButton::paintEvent(QPaintEvent* event) {
    if (!DrawsReadyLook()) {
        QPushButton::paintEvent(event);
        return;
    }
    const bool pushed = isDown();
    const QColor fill = pushed ? kReadyPushedFill : kReadyFill;
    const QColor frame = pushed ? kReadyPushedFrame : kReadyFrame;

    QPainter painter(this);
    const QRect client = rect();
    painter.fillRect(client, fill);
    painter.setPen(frame);
    painter.drawRect(client.adjusted(0, 0, -1, -1));

    QRect textRect = client;
    if (pushed) {
        textRect.translate(1, 1);
    }
    painter.setFont(boldFont_);
    painter.setPen(kDarkTextColour);
    const QString shown =
        painter.fontMetrics().elidedText(text(), Qt::ElideRight, textRect.width());
    painter.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine, shown);

    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        option.rect = client.adjusted(kFocusInset, kFocusInset, -kFocusInset, -kFocusInset);
        option.backgroundColor = fill;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

}  // namespace corvina
