#pragma once

#include <QEvent>

#include "session/ui_event.h"

class QObject;

namespace corvina {

// A UiEvent travelling through the Qt event queue. The QEvent owns the event
// value, so its payload is destroyed exactly once: after handling, or by Qt
// when the receiver is gone before it was delivered.
class UiQEvent : public QEvent {
  public:
    static QEvent::Type EventType();

    explicit UiQEvent(UiEvent event) : QEvent(EventType()), event_(std::move(event)) {}

    const UiEvent& event() const { return event_; }

  private:
    UiEvent event_;
};

// The Qt side of the event bridge: Post wraps each event in a UiQEvent and
// posts it to `receiver`, which handles them one at a time on its own thread,
// in the order each thread posted them. Post may be called from any thread.
// `receiver` must outlive every thread that posts (the window joins its
// workers before it goes); events still queued when it goes are dropped by Qt.
class QtEventSink : public EventSink {
  public:
    explicit QtEventSink(QObject* receiver);

    void Post(UiEvent event) override;

  private:
    QObject* receiver_;
};

}  // namespace corvina
