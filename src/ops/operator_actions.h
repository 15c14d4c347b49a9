#pragma once

#include "ops/operator_console.h"
#include "ops/window_flags.h"
#include "session/host_session.h"

namespace corvina {

// The operator's radio actions: sending the typed line, calling a station and
// aborting the call, ending the ARQ link, changeovers, and starting and ending
// an FEC broadcast. Commands and data reach the modem only through the
// session's queues. Window thread only. `session`, `flags` and `console` must
// outlive this object. `flags.sessionActive` is set only while the session
// holds an open transport, so it stands for both conditions.
class OperatorActions {
  public:
    OperatorActions(HostSession& session, WindowFlags& flags, OperatorConsole& console);

    // Return in the transmit pane: queues the typed line with its line end.
    void SubmitTransmitText();

    // "Changeover / Break-in" (withPrompt) and Ctrl+Y (without).
    void RequestChangeover(bool withPrompt);

    // "CONNECT" calls the station in the call-sign box; "ABORT CALL" aborts.
    void CallOrAbort();

    // "Disconnect ARQ"; while a broadcast runs the same button ends it.
    void DisconnectArq();

    // "BROADCAST" / "FEC END".
    void ToggleFecBroadcast();

  private:
    void PlainChangeover();

    HostSession& session_;
    WindowFlags& flags_;
    OperatorConsole& console_;
};

// Markers left in the transmit pane.
inline constexpr std::u16string_view kChangeoverMarker = u"<Changeover / Break-in>\r\n";
inline constexpr std::u16string_view kDisconnectMarker = u"<Disconnect ARQ>\r\n";

}  // namespace corvina
