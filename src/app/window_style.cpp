#include "app/window_style.h"

#include <QFontDatabase>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace corvina {
namespace {

constexpr int kTextPixelSize = 17;
// The stand-in faces of other platforms run wider; a smaller size keeps the
// fixed-width labels and buttons readable.
constexpr int kFallbackTextPixelSize = 15;
constexpr int kLargePixelSize = 27;
constexpr int kNormalWeight = 400;
constexpr int kBoldWeight = 600;

QFont MakeFont(const QString& family, int pixelSize, int weight, QFont::StyleHint hint) {
    const bool installed = QFontDatabase::hasFamily(family);
    QFont font = installed ? QFont(family) : QFont();
    if (!installed && hint == QFont::Monospace) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    }
    if (!installed && pixelSize == kTextPixelSize) {
        pixelSize = kFallbackTextPixelSize;
    }
    font.setStyleHint(hint);
    font.setPixelSize(pixelSize);
    font.setWeight(static_cast<QFont::Weight>(weight));
    if (hint == QFont::Monospace) {
        font.setFixedPitch(true);
    }
    return font;
}

}  // namespace

WindowFonts MakeWindowFonts() {
    const QString ui = QStringLiteral("Segoe UI");
    return {
        MakeFont(ui, kTextPixelSize, kNormalWeight, QFont::SansSerif),
        MakeFont(ui, kTextPixelSize, kBoldWeight, QFont::SansSerif),
        MakeFont(ui, kLargePixelSize, kBoldWeight, QFont::SansSerif),
        MakeFont(QStringLiteral("Consolas"), kTextPixelSize, kNormalWeight, QFont::Monospace),
    };
}

bool IsHighContrast() {
#ifdef Q_OS_WIN
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    if (SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) != 0) {
        return (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
    }
#endif
    return false;
}

}  // namespace corvina
