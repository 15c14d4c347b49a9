#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>

namespace corvina {

// The window's icon at 16 and 32 pixels: the red "CV" mark on the white
// header colour. Needs a QGuiApplication; window thread only.
QIcon MakeApplicationIcon();

// The same mark at `size` x `size` pixels, for the desktop's icon theme.
// Needs a QGuiApplication.
QImage DrawApplicationMark(int size);

// The mark as a scalable SVG document with the same shapes and colours.
QByteArray ApplicationMarkSvg();

}  // namespace corvina
