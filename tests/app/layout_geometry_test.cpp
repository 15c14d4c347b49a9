#include "app/layout_geometry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/control_ids.h"

namespace corvina {
namespace {

// From the window's smallest size up, the controls of each row stand side by
// side without overlapping or vanishing, the status fields reach the right
// margin, and the panes stay apart inside the window, each at least 70 high.
TEST(LayoutGeometry, ControlsNeverOverlap) {
    for (const int height : {kMinimumHeight, 1000}) {
        for (int width = kMinimumWidth; width <= 2000; width += 7) {
            SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
            const LayoutGeometry g = ComputeLayout(width, height, 20 + width % 40);
            const std::vector<std::vector<ControlRect>> rows = {
                {g.logoLabel, g.productLabel},
                {g.headerLabel, g.versionLabel},
                {g.comSelector, g.networkSelector, g.comPortList, g.refreshButton, g.portButton},
                {g.networkSelector, g.addressBox, g.netFindButton, g.tcpPortBox, g.portButton},
                {g.hostmodeLabel, g.channelLabel, g.channelBox},
                {g.statusLine, g.directionLabel, g.stateLabel, g.modeLabel},
                {g.callLabel, g.callSignBox, g.callButton, g.fecLabel, g.fecModeSelector,
                 g.broadcastButton},
                {g.commandLabel, g.commandLine, g.executeButton},
                {g.receiveLabel, g.receiveProgress, g.receiveClear},
                {g.echoLabel, g.echoProgress, g.echoClear},
                {g.transmitLabel, g.changeoverButton, g.disconnectButton, g.textFileButton,
                 g.binaryButton},
            };
            for (std::size_t row = 0; row < rows.size(); ++row) {
                for (std::size_t i = 1; i < rows[row].size(); ++i) {
                    const ControlRect &left = rows[row][i - 1], &right = rows[row][i];
                    EXPECT_GE(left.width, 1) << "row " << row << ", control " << i - 1;
                    EXPECT_LE(left.x + left.width, right.x) << "row " << row << ", control " << i;
                }
            }
            const ControlRect column[] = {g.receivePane,   g.echoLabel,    g.echoPane,
                                          g.transmitLabel, g.transmitPane, {0, height, 0, 0}};
            for (std::size_t i = 1; i < std::size(column); ++i) {
                EXPECT_LE(column[i - 1].y + column[i - 1].height, column[i].y) << "pane row " << i;
            }
            EXPECT_EQ(g.modeLabel.x + g.modeLabel.width, width - 22);
            for (const ControlRect& pane : {g.receivePane, g.echoPane, g.transmitPane}) {
                EXPECT_GE(pane.height, 70);
            }
        }
    }
}

}  // namespace
}  // namespace corvina
