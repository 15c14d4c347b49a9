#pragma once

#include <QColor>
#include <QFont>

namespace corvina {

// Colours of the window.
inline const QColor kBackgroundColour{246, 247, 249};
inline const QColor kHeaderColour{255, 255, 255};
inline const QColor kHeaderLineColour{204, 35, 42};
inline const QColor kLogoColour{184, 32, 38};
inline const QColor kGreyTextColour{88, 91, 96};
inline const QColor kDarkTextColour{25, 27, 30};
inline const QColor kSendColour{184, 32, 38};
inline const QColor kActiveColour{18, 124, 62};
inline const QColor kReadyFill{229, 244, 233};
inline const QColor kReadyFrame{88, 153, 106};
inline const QColor kReadyPushedFill{211, 235, 218};
inline const QColor kReadyPushedFrame{54, 126, 75};

// Header band: y 0 to 76, with a 2-pixel line whose top is at y 75.
inline constexpr int kHeaderBandHeight = 76;
inline constexpr int kHeaderLineY = 75;
inline constexpr int kHeaderLineWidth = 2;

// The four fonts of the window. The named faces are used where installed;
// otherwise the platform's nearest proportional or fixed-pitch face.
struct WindowFonts {
    QFont normal;
    QFont bold;
    QFont large;
    QFont mono;
};

// Builds the fonts. Needs a QGuiApplication; window thread only.
WindowFonts MakeWindowFonts();

// True when the system asks for a high-contrast look; the action buttons then
// keep the system's drawing.
bool IsHighContrast();

}  // namespace corvina
