#include "support/recording_event_sink.h"

#include <algorithm>
#include <string>

namespace corvina::testing {

void RecordingEventSink::Post(UiEvent event) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(std::move(event));
    }
    posted_.notify_all();
}

std::vector<UiEvent> RecordingEventSink::Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

std::optional<UiEvent> RecordingEventSink::WaitFor(const Predicate& predicate,
                                                   std::chrono::milliseconds timeout,
                                                   std::size_t from) const {
    std::unique_lock<std::mutex> lock(mutex_);
    std::optional<UiEvent> found;
    posted_.wait_for(lock, timeout, [&] {
        const auto it = std::find_if(
            events_.begin() + static_cast<std::ptrdiff_t>(std::min(from, events_.size())),
            events_.end(), predicate);
        if (it != events_.end()) {
            found = *it;
        }
        return found.has_value();
    });
    return found;
}

std::size_t RecordingEventSink::Count(const Predicate& predicate) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<std::size_t>(std::count_if(events_.begin(), events_.end(), predicate));
}

std::size_t RecordingEventSink::Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_.size();
}

RecordingEventSink::Predicate IsKind(UiEventKind kind) {
    return [kind](const UiEvent& event) { return event.kind == kind; };
}

RecordingEventSink::Predicate IsOutputContaining(HostOutputKind kind, std::string text) {
    return [kind, text = std::move(text)](const UiEvent& event) {
        const HostOutput* output = event.hostOutput();
        return output != nullptr && output->kind == kind &&
               std::string(output->bytes.begin(), output->bytes.end()).find(text) !=
                   std::string::npos;
    };
}

RecordingEventSink::Predicate IsError(std::string text) {
    return [text = std::move(text)](const UiEvent& event) {
        const std::string* error = event.errorText();
        return event.kind == UiEventKind::HostErrorEvent && error != nullptr && *error == text;
    };
}

std::string JoinedOutput(const std::vector<UiEvent>& events, HostOutputKind kind) {
    std::string joined;
    for (const UiEvent& event : events) {
        const HostOutput* output = event.hostOutput();
        if (output != nullptr && output->kind == kind) {
            joined.append(output->bytes.begin(), output->bytes.end());
        }
    }
    return joined;
}

}  // namespace corvina::testing
