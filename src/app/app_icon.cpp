#include "app/app_icon.h"

#include <QPainter>
#include <QPixmap>

#include "app/window_style.h"

namespace corvina {
namespace {

// Proportions of the mark relative to its size: the frame's line width and
// corner radius, and the height of the letters.
constexpr double kLineFraction = 1.0 / 16.0;
constexpr double kCornerFraction = 1.0 / 6.0;
constexpr int kLetterSixteenths = 9;

void PaintMark(QPainter& painter, int size) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(kHeaderColour);
    painter.setPen(QPen(kHeaderLineColour, size * kLineFraction));
    painter.drawRoundedRect(QRectF(0.5, 0.5, size - 1.0, size - 1.0), size * kCornerFraction,
                            size * kCornerFraction);
    QFont font;
    font.setBold(true);
    font.setPixelSize(size * kLetterSixteenths / 16);
    painter.setFont(font);
    painter.setPen(kLogoColour);
    painter.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QStringLiteral("CV"));
}

QPixmap DrawMark(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    PaintMark(painter, size);
    return pixmap;
}

}  // namespace

QIcon MakeApplicationIcon() {
    QIcon icon;
    icon.addPixmap(DrawMark(16));
    icon.addPixmap(DrawMark(32));
    return icon;
}

QImage DrawApplicationMark(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    PaintMark(painter, size);
    return image;
}

QByteArray ApplicationMarkSvg() {
    // Drawn on a 256-unit square with the proportions PaintMark uses.
    constexpr int kSize = 256;
    const double line = kSize * kLineFraction;
    const double corner = kSize * kCornerFraction;
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" "
               "viewBox=\"0 0 %1 %1\">\n"
               "  <rect x=\"%2\" y=\"%2\" width=\"%3\" height=\"%3\" rx=\"%4\" ry=\"%4\" "
               "fill=\"%5\" stroke=\"%6\" stroke-width=\"%7\"/>\n"
               "  <text x=\"%8\" y=\"%8\" text-anchor=\"middle\" dominant-baseline=\"central\" "
               "font-family=\"DejaVu Sans, sans-serif\" font-weight=\"bold\" font-size=\"%9\" "
               "fill=\"%10\">CV</text>\n"
               "</svg>\n")
        .arg(kSize)
        .arg(line / 2)
        .arg(kSize - line)
        .arg(corner)
        .arg(kHeaderColour.name(), kHeaderLineColour.name())
        .arg(line)
        .arg(kSize / 2)
        .arg(kSize * kLetterSixteenths / 16)
        .arg(kLogoColour.name())
        .toUtf8();
}

}  // namespace corvina
