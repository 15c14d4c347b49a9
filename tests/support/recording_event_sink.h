#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "session/ui_event.h"

namespace corvina::testing {

// An EventSink that keeps every event in the order posted, for tests. Post may
// be called from any thread; the inspection members from any thread too.
class RecordingEventSink : public EventSink {
  public:
    using Predicate = std::function<bool(const UiEvent&)>;

    void Post(UiEvent event) override;

    std::vector<UiEvent> Events() const;

    // Waits until some event (at or after index `from`) satisfies `predicate`
    // and returns a copy of it; nothing when `timeout` passed first.
    std::optional<UiEvent> WaitFor(const Predicate& predicate, std::chrono::milliseconds timeout,
                                   std::size_t from = 0) const;

    std::size_t Count(const Predicate& predicate) const;
    std::size_t Size() const;

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable posted_;
    std::vector<UiEvent> events_;
};

RecordingEventSink::Predicate IsKind(UiEventKind kind);
// A HostOutput of `kind` whose bytes contain `text`.
RecordingEventSink::Predicate IsOutputContaining(HostOutputKind kind, std::string text);
// A HostErrorEvent carrying exactly `text`.
RecordingEventSink::Predicate IsError(std::string text);

// The bytes of every HostOutput of `kind`, joined in order.
std::string JoinedOutput(const std::vector<UiEvent>& events, HostOutputKind kind);

}  // namespace corvina::testing
