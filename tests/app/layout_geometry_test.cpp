#include "app/layout_geometry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvina {
namespace {

struct PaneCase {
    int height;
    int receiveHeight;
    int echoPaneY;
    int echoHeight;
    int transmitLabelY;
    int bottomButtonsY;
    int transmitPaneY;
    int transmitHeight;
};

TEST(LayoutGeometry, PanesFollowFixedOrProportionalRuleByClientHeight) {
    const std::vector<PaneCase> cases = {
        // At or below 600 the fixed places hold.
        {600, 108, 444, 70, 524, 521, 548, 70},
        {300, 108, 444, 70, 524, 521, 548, 70},
        // 601: A = 240, R = 108, E = 57 taken as 70, transmit max(62, 70).
        {601, 108, 444, 70, 524, 521, 548, 70},
        // A = 295: A*24 = 7080, just below 7100, so E stays 70.
        {687, 132, 468, 70, 548, 545, 572, 93},
        // A = 296: E = 71, the proportional rule takes over.
        {688, 133, 469, 71, 550, 547, 574, 92},
        // A = 608, R = 273, E = 145.
        {1000, 273, 609, 145, 764, 761, 788, 190},
    };
    for (const PaneCase& c : cases) {
        SCOPED_TRACE("height " + std::to_string(c.height));
        const LayoutGeometry g = ComputeLayout(940, c.height, kFallbackLogoWidth);
        EXPECT_EQ(g.receivePane, (ControlRect{22, 302, 896, c.receiveHeight}));
        EXPECT_EQ(g.echoLabel.y, c.receiveHeight + 312);
        EXPECT_EQ(g.echoClear.y, c.receiveHeight + 309);
        EXPECT_EQ(g.echoPane, (ControlRect{22, c.echoPaneY, 896, c.echoHeight}));
        EXPECT_EQ(g.transmitLabel.y, c.transmitLabelY);
        for (const ControlRect& button :
             {g.binaryButton, g.textFileButton, g.disconnectButton, g.changeoverButton}) {
            EXPECT_EQ(button.y, c.bottomButtonsY);
        }
        EXPECT_EQ(g.transmitPane, (ControlRect{22, c.transmitPaneY, 896, c.transmitHeight}));
    }
}

TEST(LayoutGeometry, StatusFieldsFillTheRowAtEveryWidth) {
    for (int width = 0; width <= 2000; width += 7) {
        SCOPED_TRACE("width " + std::to_string(width));
        const LayoutGeometry g = ComputeLayout(width, 800, kFallbackLogoWidth);
        const int s = std::max(std::max(width - 44, 1) - 18, 1);
        EXPECT_EQ(
            g.statusLine.width + g.directionLabel.width + g.stateLabel.width + g.modeLabel.width,
            s);
        // Each field starts 6 pixels after the previous one ends.
        EXPECT_EQ(g.statusLine.x, 22);
        EXPECT_EQ(g.directionLabel.x, g.statusLine.x + g.statusLine.width + 6);
        EXPECT_EQ(g.stateLabel.x, g.directionLabel.x + g.directionLabel.width + 6);
        EXPECT_EQ(g.modeLabel.x, g.stateLabel.x + g.stateLabel.width + 6);
    }
}

TEST(LayoutGeometry, NarrowWindowKeepsFlexibleWidthsPositive) {
    for (int width : {820, 600, 300, 44, 1, 0}) {
        SCOPED_TRACE("width " + std::to_string(width));
        const LayoutGeometry g = ComputeLayout(width, 760, kFallbackLogoWidth);
        for (const ControlRect& r : {g.callSignBox, g.headerLabel, g.hostmodeLabel, g.commandLine,
                                     g.transmitLabel, g.receivePane, g.modeLabel}) {
            EXPECT_GE(r.width, 1);
        }
        EXPECT_GE(g.comPortList.width, 120);
        EXPECT_GE(g.addressBox.width, 120);
    }
    const LayoutGeometry g = ComputeLayout(820, 760, kFallbackLogoWidth);
    EXPECT_EQ(g.callSignBox, (ControlRect{210, 202, 222, 30}));
    EXPECT_EQ(g.headerLabel.width, 520);
    EXPECT_EQ(g.transmitLabel.width, 146);
}

TEST(LayoutGeometry, RightAnchoredControlsMoveWithWidth) {
    const LayoutGeometry g = ComputeLayout(940, 800, kFallbackLogoWidth);
    EXPECT_EQ(g.portButton, (ControlRect{778, 88, 140, 30}));
    EXPECT_EQ(g.refreshButton, (ControlRect{646, 88, 76, 30}));
    EXPECT_EQ(g.comPortList, (ControlRect{300, 88, 336, 30}));
    EXPECT_EQ(g.addressBox, (ControlRect{300, 88, 300, 30}));
    EXPECT_EQ(g.netFindButton, (ControlRect{606, 88, 86, 30}));
    EXPECT_EQ(g.tcpPortBox, (ControlRect{698, 88, 70, 30}));
    EXPECT_EQ(g.channelBox, (ControlRect{866, 126, 52, 30}));
    EXPECT_EQ(g.callButton, (ControlRect{560, 202, 110, 30}));
    EXPECT_EQ(g.broadcastButton, (ControlRect{806, 202, 112, 30}));
    EXPECT_EQ(g.executeButton, (ControlRect{828, 240, 90, 30}));
    EXPECT_EQ(g.commandLine, (ControlRect{186, 240, 634, 30}));
    EXPECT_EQ(g.receiveClear, (ControlRect{852, 275, 66, 26}));
    EXPECT_EQ(g.versionLabel, (ControlRect{770, 20, 145, 24}));
}

TEST(LayoutGeometry, ProductLabelFollowsMeasuredLogo) {
    const LayoutGeometry fallback = ComputeLayout(940, 800, kFallbackLogoWidth);
    EXPECT_EQ(fallback.productLabel, (ControlRect{60, 13, 222, 34}));
    const LayoutGeometry measured = ComputeLayout(940, 800, 45);
    EXPECT_EQ(measured.logoLabel, (ControlRect{22, 13, 45, 34}));
    EXPECT_EQ(measured.productLabel, (ControlRect{67, 13, 215, 34}));
}

}  // namespace
}  // namespace corvina
