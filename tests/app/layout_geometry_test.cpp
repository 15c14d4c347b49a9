#include "app/layout_geometry.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace corvina {
namespace {

// Up to 600 pixels of client height the panes keep fixed places; above, the
// receive pane takes 45 % and the echo pane 24 % of what the rows leave, each
// pane at least 70 high.
TEST(LayoutGeometry, PanesFollowFixedOrProportionalRuleByClientHeight) {
    const struct {
        int height, receiveHeight, echoY, echoHeight, transmitLabelY, transmitY, transmitHeight;
    } cases[] = {
        {300, 108, 444, 70, 524, 548, 70},    {600, 108, 444, 70, 524, 548, 70},
        {601, 108, 444, 70, 524, 548, 70},  // 57 high by the rule
        {687, 132, 468, 70, 548, 572, 93},  // 70.8 by the rule
        {688, 133, 469, 71, 550, 574, 92},  // 71 by the rule
        {1000, 273, 609, 145, 764, 788, 190},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("height " + std::to_string(c.height));
        const LayoutGeometry g = ComputeLayout(940, c.height, kFallbackLogoWidth);
        EXPECT_EQ(g.receivePane, (ControlRect{22, 302, 896, c.receiveHeight}));
        EXPECT_EQ(g.echoPane, (ControlRect{22, c.echoY, 896, c.echoHeight}));
        EXPECT_EQ(g.transmitLabel.y, c.transmitLabelY);
        EXPECT_EQ(g.transmitPane, (ControlRect{22, c.transmitY, 896, c.transmitHeight}));
    }
}

TEST(LayoutGeometry, StatusFieldsFillTheRowAndNoWidthGoesBelowOneAtAnyWidth) {
    for (int width = 0; width <= 2000; width += 7) {
        SCOPED_TRACE("width " + std::to_string(width));
        const LayoutGeometry g = ComputeLayout(width, 800, 20 + width % 40);
        // Each field starts 6 pixels after the previous one ends.
        EXPECT_EQ(g.statusLine.x, 22);
        EXPECT_EQ(g.directionLabel.x, g.statusLine.x + g.statusLine.width + 6);
        EXPECT_EQ(g.stateLabel.x, g.directionLabel.x + g.directionLabel.width + 6);
        EXPECT_EQ(g.modeLabel.x, g.stateLabel.x + g.stateLabel.width + 6);
        EXPECT_EQ(g.modeLabel.x + g.modeLabel.width, std::max(width - 22, 41));
        for (const ControlRect& r : {g.callSignBox, g.headerLabel, g.hostmodeLabel, g.commandLine,
                                     g.transmitLabel, g.receivePane, g.productLabel}) {
            EXPECT_GE(r.width, 1);
        }
        EXPECT_GE(std::min(g.comPortList.width, g.addressBox.width), 120);
        // The product name follows the logo, whatever width the logo measured.
        EXPECT_EQ(g.productLabel.x, g.logoLabel.x + g.logoLabel.width);
        // The progress bars sit between each pane's label and its Clear button.
        for (const auto& [bar, label, clear] :
             {std::tuple{g.receiveProgress, g.receiveLabel, g.receiveClear},
              std::tuple{g.echoProgress, g.echoLabel, g.echoClear}}) {
            EXPECT_EQ(bar.x, label.x + label.width + 8);
            EXPECT_EQ(bar.x + bar.width + 8, std::max(clear.x, bar.x + 9));
        }
    }
}

}  // namespace
}  // namespace corvina
