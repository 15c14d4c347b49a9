#pragma once

#include <QIcon>

namespace corvina {

// The window's icon at 16 and 32 pixels: the red "CV" mark on the white
// header colour. Needs a QGuiApplication; window thread only.
QIcon MakeApplicationIcon();

}  // namespace corvina
