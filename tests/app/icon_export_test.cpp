// The icon theme files the package installs: the exporter writes an SVG and a
// PNG for every theme size, and refuses a call without its one argument.

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QProcess>

#include "support/temporary_folder.h"

namespace corvina {
namespace {

int Export(const QStringList& arguments) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    // A sanitizer build's leak check would fail on the toolkit's one-time allocations.
    environment.insert("ASAN_OPTIONS", "detect_leaks=0");
    QProcess exporter;
    exporter.setProcessEnvironment(environment);
    exporter.start(CORVINA_ICON_EXPORT, arguments);
    return exporter.waitForFinished(30000) ? exporter.exitCode() : -1;
}

TEST(IconExport, WritesTheScalableIconAndEverySizeOfTheTheme) {
    const corvina::testing::TemporaryFolder folder;
    const QString root = QString::fromStdString(folder.path().string());
    EXPECT_EQ(Export({}), 2);
    ASSERT_EQ(Export({root}), 0);

    QFile svg(root + "/scalable/apps/corvina.svg");
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    const QByteArray text = svg.readAll();
    EXPECT_TRUE(text.startsWith("<?xml") && text.contains(">CV</text>")) << text.toStdString();
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QImage icon(root + QStringLiteral("/%1x%1/apps/corvina.png").arg(size));
        EXPECT_EQ(icon.size(), QSize(size, size)) << size;
        // Drawn on a transparent square: the corners stay clear, the middle is painted.
        EXPECT_EQ(icon.pixelColor(0, 0).alpha(), 0) << size;
        EXPECT_EQ(icon.pixelColor(size / 2, size / 2).alpha(), 255) << size;
    }
}

}  // namespace
}  // namespace corvina
