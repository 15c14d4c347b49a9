// Writes the program's icon into a hicolor icon theme tree for installing:
// <root>/scalable/apps/corvina.svg and <root>/NxN/apps/corvina.png.
// Usage: corvina-icon-export ROOT. Runs at build time with any QPA platform.

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <iostream>

#include "app/app_icon.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: corvina-icon-export ROOT\n";
        return 2;
    }
    QGuiApplication application(argc, argv);
    const QString root = QString::fromLocal8Bit(argv[1]);
    const QDir dir(root);
    const QString svgPath = QStringLiteral("scalable/apps/corvina.svg");
    QFile svg(dir.filePath(svgPath));
    if (!dir.mkpath(QStringLiteral("scalable/apps")) || !svg.open(QIODevice::WriteOnly) ||
        svg.write(corvina::ApplicationMarkSvg()) < 0) {
        std::cerr << "corvina-icon-export: cannot write " << svgPath.toStdString() << '\n';
        return 1;
    }
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        const QString path = folder + QStringLiteral("/corvina.png");
        if (!dir.mkpath(folder) ||
            !corvina::DrawApplicationMark(size).save(dir.filePath(path), "PNG")) {
            std::cerr << "corvina-icon-export: cannot write " << path.toStdString() << '\n';
            return 1;
        }
    }
    return 0;
}
