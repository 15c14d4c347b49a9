// A real window on an X server (run by run_under_xvfb.sh): shown, painted and
// saved as a screenshot beside the test binary.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include "window_harness.h"

namespace corvina {
namespace {

using namespace testing_support;

TEST(WindowOnScreen, ShowsRealWindowWithHeaderBandAndSavesScreenshot) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"))
        << "this test needs an X server; run it through run_under_xvfb.sh";
    Folder folder;
    FakeDiscovery discovery;
    Application window(discovery.Options(folder.path()));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(300);

    const QPixmap shot = window.screen()->grabWindow(window.winId());
    ASSERT_FALSE(shot.isNull());
    const QImage image = shot.toImage();
    EXPECT_EQ(image.size(), QSize(940, 878));
    EXPECT_EQ(QColor(image.pixel(5, 5)), QColor(255, 255, 255)) << "white header band";
    EXPECT_EQ(QColor(image.pixel(5, 75)), QColor(204, 35, 42)) << "red line under the header";
    EXPECT_EQ(QColor(image.pixel(5, 150)), QColor(246, 247, 249)) << "window background";
    EXPECT_TRUE(shot.save(QStringLiteral("window_screenshot.png")));
}

}  // namespace
}  // namespace corvina
