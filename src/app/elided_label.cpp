#include "app/elided_label.h"

#include <QPainter>
#include <QStyle>

namespace corvina {

QString ElidedLabel::ShownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (frameShape() == QFrame::Box) {
        // A plain black border that keeps its colour when the text changes its.
        painter.setPen(QPen(Qt::black, 0));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    } else {
        drawFrame(&painter);
    }
    style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()), palette(),
                          isEnabled(), ShownText(), foregroundRole());
}

}  // namespace corvina
