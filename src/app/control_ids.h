#pragma once

namespace corvina {

// Identifiers of the window's controls. They name the controls in tests and
// in the command dispatch; each control's QObject name is its id in decimal.
inline constexpr int kIdComSelector = 1001;
inline constexpr int kIdNetworkSelector = 1002;
inline constexpr int kIdComPortList = 1003;
inline constexpr int kIdRefresh = 1005;
inline constexpr int kIdAddressBox = 1006;
inline constexpr int kIdNetFind = 1007;
inline constexpr int kIdTcpPort = 1008;
inline constexpr int kIdChannel = 1009;
inline constexpr int kIdPortButton = 1010;
inline constexpr int kIdReceivePane = 1011;
inline constexpr int kIdReceiveClear = 1012;
inline constexpr int kIdEchoPane = 1013;
inline constexpr int kIdEchoClear = 1014;
inline constexpr int kIdCommandLine = 1015;
inline constexpr int kIdExecute = 1016;
inline constexpr int kIdTransmitPane = 1017;
// No control: the command that Return in the transmit pane produces.
inline constexpr int kIdSubmitTransmit = 1018;
inline constexpr int kIdTextFile = 1019;
inline constexpr int kIdBinaryFile = 1020;
inline constexpr int kIdChangeover = 1021;
inline constexpr int kIdDisconnectArq = 1022;
inline constexpr int kIdCallSign = 1023;
inline constexpr int kIdCallButton = 1024;
inline constexpr int kIdFecMode = 1025;
inline constexpr int kIdBroadcast = 1026;

// Timers: the silent network search and the broadcast-start time-out.
inline constexpr int kTimerDiscovery = 1;
inline constexpr int kTimerBroadcastStart = 2;
inline constexpr int kDiscoveryIntervalMs = 15000;

// Text limits of the edit controls.
inline constexpr int kCallSignMaxLength = 8;
inline constexpr int kCommandLineMaxLength = 256;
// Read-only panes keep at most this many characters before each append.
inline constexpr int kPaneTrimLimit = 0x200000;
// The transmit pane holds at most this many characters.
inline constexpr int kPaneCharacterLimit = 0x400000;

inline constexpr const char* kApplicationName = "Velk Corvina";
inline constexpr const char* kWindowTitle = "Velk Corvina 1.00.11";
inline constexpr int kMinimumWidth = 820;
inline constexpr int kMinimumHeight = 798;
inline constexpr int kStartWidth = 940;
inline constexpr int kStartHeight = 878;

}  // namespace corvina
