#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace corvina {

// What the bytes of a HostOutput are. The window treats every value above
// CommandText as StatusBytes.
enum class HostOutputKind : std::uint32_t {
    ReceivedText = 0,  // channel text for the receive pane
    LinkMessage = 1,   // a link-state message of the modem
    EchoText = 2,      // delayed echo for the confirmed-transmit pane
    CommandText = 3,   // a start-up command shown in the receive pane
    StatusBytes = 4,   // the status bytes of a status poll
};

// Text or status bytes exactly as the modem sent them (Windows-1252 for text).
struct HostOutput {
    HostOutputKind kind = HostOutputKind::ReceivedText;
    std::vector<std::uint8_t> bytes;

    bool operator==(const HostOutput&) const = default;
};

// What happened to a binary transfer. The window treats every value above
// TransferStateChanged as SendFinished.
enum class BinaryTransferKind : std::uint32_t {
    ReceiveStarted = 0,
    ReceiveProgress = 1,
    ReceiveFinished = 2,
    TransferStateChanged = 3,
    SendFinished = 4,
};

// A binary transfer report. `name` and `path` are UTF-8; the window converts.
struct BinaryTransferMessage {
    BinaryTransferKind kind = BinaryTransferKind::ReceiveStarted;
    std::string name;
    std::string path;
    std::uint64_t size = 0;
    std::uint32_t expectedCrc = 0;
    std::uint32_t actualCrc = 0;
    std::uint32_t percent = 0;
    std::uint8_t result = 0;  // a cvfile::ResultCode

    bool operator==(const BinaryTransferMessage&) const = default;
};

// The events by which worker threads report to the window. The numbers are the
// offsets above the first application message number.
enum class UiEventKind : std::uint32_t {
    HostOutputEvent = 1,         // payload HostOutput
    HostErrorEvent = 2,          // payload: the error text (UTF-8), or none
    FileSendProgressEvent = 3,   // wParam percent 0..100; lParam 1 binary, 0 text
    FileSendFinishedEvent = 4,   // wParam 1 text send ended, 2 binary send ended
    DiscoveryFinishedEvent = 5,  // no parameters
    HostmodeActiveEvent = 6,     // no parameters
    BinaryTransferEvent = 7,     // payload BinaryTransferMessage
    AutoConnectEvent = 9,        // no parameters
};

// No payload. An event that should carry one but holds this is ignored by the
// window (a HostErrorEvent still disconnects).
struct NoPayload {
    bool operator==(const NoPayload&) const = default;
};

// One event with its parameters and its payload held by value, so ownership
// travels with the event: once posted, nothing of it stays with the poster.
struct UiEvent {
    UiEventKind kind = UiEventKind::HostOutputEvent;
    std::uint64_t wParam = 0;
    std::int64_t lParam = 0;
    std::variant<NoPayload, HostOutput, BinaryTransferMessage, std::string> payload;
    // Which session posted it (HostSession::generation), so that the window
    // can tell the news of a session it has since ended.
    std::uint64_t session = 0;

    // Null when the event carries no payload of that type.
    const HostOutput* hostOutput() const { return std::get_if<HostOutput>(&payload); }
    const BinaryTransferMessage* transferMessage() const {
        return std::get_if<BinaryTransferMessage>(&payload);
    }
    const std::string* errorText() const { return std::get_if<std::string>(&payload); }

    static UiEvent Output(HostOutputKind kind, std::vector<std::uint8_t> bytes);
    static UiEvent Error(std::string text);
    static UiEvent Transfer(BinaryTransferMessage message);
    static UiEvent Plain(UiEventKind kind, std::uint64_t wParam = 0, std::int64_t lParam = 0);
};

// Where worker threads post their events. Post may be called from any thread,
// concurrently, and must not block for long (no waiting on the window); the
// receiver handles events one at a time, in the order posted by each thread.
// The implementation must outlive every HostSession that posts to it.
class EventSink {
  public:
    virtual ~EventSink() = default;
    virtual void Post(UiEvent event) = 0;
};

}  // namespace corvina
