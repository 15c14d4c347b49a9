#pragma once

namespace corvina {

// A control's place in client coordinates, in pixels.
struct ControlRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool operator==(const ControlRect&) const = default;
};

// Where every control of the main window goes for one client size. The COM set
// (port list, "Refresh") and the network set (address box, "NetFind", TCP port
// box) share their place; only one set is visible at a time.
struct LayoutGeometry {
    ControlRect logoLabel, productLabel, headerLabel, versionLabel;
    ControlRect comSelector, networkSelector, comPortList, refreshButton;
    ControlRect addressBox, netFindButton, tcpPortBox, portButton;
    ControlRect hostmodeLabel, channelLabel, channelBox;
    ControlRect statusLine, directionLabel, stateLabel, modeLabel;
    ControlRect callLabel, callSignBox, callButton, fecLabel, fecModeSelector, broadcastButton;
    ControlRect commandLabel, commandLine, executeButton;
    ControlRect receiveLabel, receiveClear, receivePane;
    ControlRect echoLabel, echoClear, echoPane;
    ControlRect transmitLabel, binaryButton, textFileButton, disconnectButton, changeoverButton;
    ControlRect transmitPane;
    // Progress of a file being received and of one being sent: between each
    // pane's label and its "Clear" button, so no specified control moves.
    ControlRect receiveProgress, echoProgress;
};

// Width of the header's "CV" text when it cannot be measured.
inline constexpr int kFallbackLogoWidth = 38;

// Geometry for a client area of `width` x `height` pixels. `logoWidth` is the
// measured width of the logo text in the large font (kFallbackLogoWidth when
// unknown). Pure; any size is accepted and every width stays at least 1 where
// the window could otherwise shrink a control to nothing.
LayoutGeometry ComputeLayout(int width, int height, int logoWidth);

}  // namespace corvina
