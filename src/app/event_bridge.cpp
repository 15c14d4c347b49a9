#include "app/event_bridge.h"

#include <QCoreApplication>

namespace corvina {

QEvent::Type UiQEvent::EventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QtEventSink::QtEventSink(QObject* receiver) : receiver_(receiver) {}

void QtEventSink::Post(UiEvent event) {
    // postEvent is thread-safe and takes ownership of the QEvent.
    QCoreApplication::postEvent(receiver_, new UiQEvent(std::move(event)));
}

}  // namespace corvina
