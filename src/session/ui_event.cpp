#include "session/ui_event.h"

#include <utility>

namespace corvina {

UiEvent UiEvent::Output(HostOutputKind kind, std::vector<std::uint8_t> bytes) {
    UiEvent event;
    event.kind = UiEventKind::HostOutputEvent;
    event.payload = HostOutput{kind, std::move(bytes)};
    return event;
}

UiEvent UiEvent::Error(std::string text) {
    UiEvent event;
    event.kind = UiEventKind::HostErrorEvent;
    event.payload = std::move(text);
    return event;
}

UiEvent UiEvent::Transfer(BinaryTransferMessage message) {
    UiEvent event;
    event.kind = UiEventKind::BinaryTransferEvent;
    event.payload = std::move(message);
    return event;
}

UiEvent UiEvent::Plain(UiEventKind kind, std::uint64_t wParam, std::int64_t lParam) {
    UiEvent event;
    event.kind = kind;
    event.wParam = wParam;
    event.lParam = lParam;
    return event;
}

}  // namespace corvina
