#pragma once

#include <string>
#include <string_view>

namespace corvina {

// What the operator actions need from the window. The window implements it;
// every call comes from the window thread. Texts are the window's UTF-16.
class OperatorConsole {
  public:
    virtual ~OperatorConsole() = default;

    // The transmit pane's text after its sent part.
    virtual std::u16string PendingTransmitText() = 0;
    // After a line was queued: a line break at the end, all of it now sent,
    // caret at the end and the pane focused.
    virtual void CommitTransmitLine() = 0;
    // Inserts `marker` at the end of the sent part; the sent part grows by it.
    virtual void InsertTransmitMarker(std::u16string_view marker) = 0;

    virtual std::u16string CallSignText() const = 0;
    virtual void SetCallSignText(std::u16string_view text) = 0;
    // The FEC mode selector's current index, -1 without a selection.
    virtual int FecModeIndex() const = 0;

    virtual void SetStatus(std::u16string_view text, bool isError) = 0;
    virtual void UpdateConnectionUi() = 0;
    // Arms (or re-arms) the broadcast time-out (timer 2) for `timeoutMs`;
    // when it fires the window gives up a start or an end the modem did not
    // confirm.
    virtual void StartBroadcastTimer(int timeoutMs) = 0;
};

}  // namespace corvina
