#include "app/app_icon.h"

#include <QPainter>
#include <QPixmap>

#include "app/window_style.h"

namespace corvina {
namespace {

QPixmap DrawMark(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(kHeaderColour);
    painter.setPen(QPen(kHeaderLineColour, size / 16.0));
    painter.drawRoundedRect(QRectF(0.5, 0.5, size - 1.0, size - 1.0), size / 6.0, size / 6.0);
    QFont font;
    font.setBold(true);
    font.setPixelSize(size * 9 / 16);
    painter.setFont(font);
    painter.setPen(kLogoColour);
    painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QStringLiteral("CV"));
    return pixmap;
}

}  // namespace

QIcon MakeApplicationIcon() {
    QIcon icon;
    icon.addPixmap(DrawMark(16));
    icon.addPixmap(DrawMark(32));
    return icon;
}

}  // namespace corvina
