#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "session/ui_event.h"

namespace corvina {

// What a transcript line records.
enum class TranscriptKind {
    Received,  // text from the modem or the peer, as the receive pane shows it
    Sent,      // text the modem really sent (its delayed echo)
    Command,   // a command typed or sent at start-up
    Link,      // a link message of the modem
    File,      // a file transfer announced or decided
};

// "received", "sent", "command", "link", "file".
std::string_view TranscriptKindName(TranscriptKind kind);

struct TranscriptEntry {
    TranscriptKind kind = TranscriptKind::Received;
    std::string text;  // UTF-8

    bool operator==(const TranscriptEntry&) const = default;
};

// What a session event adds to the transcript; nothing for status polls,
// progress and bookkeeping events. Pure; any thread.
std::optional<TranscriptEntry> TranscriptEntryFor(const UiEvent& event);

// One transcript line: the UTC timestamp, a tab, the kind, a tab, the text
// with backslash, CR, LF and tab written as \\, \r, \n and \t, and a line
// feed. So every event is one line, and the text can be restored exactly.
std::string FormatTranscriptLine(std::chrono::system_clock::time_point time, TranscriptKind kind,
                                 std::string_view text);

}  // namespace corvina
