#include "app/layout_geometry.h"

#include <algorithm>

namespace corvina {
namespace {

constexpr int kMargin = 22;
constexpr int kRowHeight = 30;
constexpr int kSmallButtonHeight = 26;
constexpr int kPaneLabelHeight = 24;
constexpr int kProgressGap = 8;

// Rows: y of the connection, hostmode, status, call and command rows.
constexpr int kConnectionRowY = 88;
constexpr int kHostmodeRowY = 126;
constexpr int kStatusRowY = 164;
constexpr int kCallRowY = 202;
constexpr int kCommandRowY = 240;

// The receive pane's label, button and top edge.
constexpr int kReceiveLabelY = 278;
constexpr int kReceiveClearY = 275;
constexpr int kReceivePaneY = 302;

// Below this client height the panes keep fixed places.
constexpr int kFixedPaneHeightLimit = 600;
constexpr int kMinimumEchoHeight = 70;
constexpr int kMinimumTransmitHeight = 70;

struct PaneRows {
    int receiveHeight;
    int echoLabelY, echoClearY, echoPaneY, echoHeight;
    int transmitLabelY, bottomButtonsY, transmitPaneY, transmitHeight;
};

PaneRows ComputePaneRows(int height) {
    if (height <= kFixedPaneHeightLimit) {
        return {108, 420, 417, 444, 70, 524, 521, 548, 70};
    }
    const int available = std::max(height - 392, 240);
    const int receive = available * 45 / 100;
    int echo = available * 24 / 100;
    PaneRows rows{};
    rows.receiveHeight = receive;
    rows.echoLabelY = receive + 312;
    rows.echoClearY = receive + 309;
    rows.echoPaneY = receive + 336;
    if (echo < kMinimumEchoHeight + 1) {
        echo = kMinimumEchoHeight;
    }
    rows.echoHeight = echo;
    rows.transmitLabelY = receive + echo + 346;
    rows.bottomButtonsY = receive + echo + 343;
    rows.transmitPaneY = receive + echo + 370;
    rows.transmitHeight = std::max(available - receive - echo, kMinimumTransmitHeight);
    return rows;
}

}  // namespace

LayoutGeometry ComputeLayout(int width, int height, int logoWidth) {
    const int w = width;
    const int content = std::max(w - 2 * kMargin, 1);
    LayoutGeometry g;

    g.logoLabel = {kMargin, 13, logoWidth, 34};
    g.productLabel = {logoWidth + kMargin, 13, std::max(260 - logoWidth, 1), 34};
    g.headerLabel = {kMargin, 46, std::max(w - 300, 1), 22};
    g.versionLabel = {w - 170, 20, 145, 24};

    const int row1 = kConnectionRowY;
    g.comSelector = {kMargin, row1, 105, kRowHeight};
    g.networkSelector = {134, row1, 155, kRowHeight};
    g.comPortList = {300, row1, std::max(content - 560, 120), kRowHeight};
    g.refreshButton = {w - 294, row1, 76, kRowHeight};
    g.addressBox = {300, row1, std::max(w - 640, 120), kRowHeight};
    g.netFindButton = {w - 334, row1, 86, kRowHeight};
    g.tcpPortBox = {w - 242, row1, 70, kRowHeight};
    g.portButton = {w - 162, row1, 140, kRowHeight};

    g.hostmodeLabel = {kMargin, kHostmodeRowY, std::max(content - 134, 1), kRowHeight};
    g.channelLabel = {w - 148, kHostmodeRowY, 66, kRowHeight};
    g.channelBox = {w - 74, kHostmodeRowY, 52, kRowHeight};

    // Four status fields with 6-pixel gaps; the last takes the rounding rest.
    const int s = std::max(content - 18, 1);
    const int w1 = s * 36 / 100;
    const int w2 = s * 14 / 100;
    const int w3 = s * 28 / 100;
    const int w4 = s - w1 - w2 - w3;
    g.statusLine = {kMargin, kStatusRowY, w1, kRowHeight};
    g.directionLabel = {w1 + 28, kStatusRowY, w2, kRowHeight};
    g.stateLabel = {w1 + w2 + 34, kStatusRowY, w3, kRowHeight};
    g.modeLabel = {w1 + w2 + w3 + 40, kStatusRowY, w4, kRowHeight};

    g.callLabel = {kMargin, kCallRowY, 180, kRowHeight};
    g.callSignBox = {210, kCallRowY, std::max(w - 598, 1), kRowHeight};
    g.callButton = {w - 380, kCallRowY, 110, kRowHeight};
    g.fecLabel = {w - 256, kCallRowY, 34, kRowHeight};
    g.fecModeSelector = {w - 216, kCallRowY, 76, kRowHeight};
    g.broadcastButton = {w - 134, kCallRowY, 112, kRowHeight};

    g.commandLabel = {kMargin, kCommandRowY, 156, kRowHeight};
    g.commandLine = {186, kCommandRowY, std::max(content - 262, 1), kRowHeight};
    g.executeButton = {w - 112, kCommandRowY, 90, kRowHeight};

    const PaneRows rows = ComputePaneRows(height);
    g.receiveLabel = {kMargin, kReceiveLabelY, 300, kPaneLabelHeight};
    g.receiveClear = {w - 88, kReceiveClearY, 66, kSmallButtonHeight};
    g.receivePane = {kMargin, kReceivePaneY, content, rows.receiveHeight};

    g.echoLabel = {kMargin, rows.echoLabelY, 390, kPaneLabelHeight};
    g.echoClear = {w - 88, rows.echoClearY, 66, kSmallButtonHeight};
    g.echoPane = {kMargin, rows.echoPaneY, content, rows.echoHeight};

    const int bottom = rows.bottomButtonsY;
    g.transmitLabel = {kMargin, rows.transmitLabelY, std::min(std::max(w - 674, 1), 260),
                       kPaneLabelHeight};
    g.binaryButton = {w - 190, bottom, 168, kSmallButtonHeight};
    g.textFileButton = {w - 318, bottom, 120, kSmallButtonHeight};
    g.disconnectButton = {w - 452, bottom, 126, kSmallButtonHeight};
    g.changeoverButton = {w - 644, bottom, 184, kSmallButtonHeight};
    g.transmitPane = {kMargin, rows.transmitPaneY, content, rows.transmitHeight};

    auto between = [](const ControlRect& label, const ControlRect& clear) {
        const int x = label.x + label.width + kProgressGap;
        return ControlRect{x, clear.y, std::max(clear.x - kProgressGap - x, 1), clear.height};
    };
    g.receiveProgress = between(g.receiveLabel, g.receiveClear);
    g.echoProgress = between(g.echoLabel, g.echoClear);
    return g;
}

}  // namespace corvina
