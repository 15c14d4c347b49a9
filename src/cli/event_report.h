#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "session/ui_event.h"

namespace corvina::cli {

// One line for the operator or for a program reading standard output.
struct ReportLine {
    enum class Stream { None, Out, Err };
    Stream stream = Stream::None;
    std::string text;  // UTF-8; JSON lines and whole lines end in "\n"
};

// How the station reports its events: plain text, as the window's panes
// would show it (received text on standard output as it arrives, errors on
// standard error), or one JSON object per line on standard output. Pure; any
// thread.
class EventReport {
  public:
    explicit EventReport(bool json) : json_(json) {}

    bool json() const { return json_; }

    // A session event. Status polls and bookkeeping events give no line.
    ReportLine Describe(const UiEvent& event, std::chrono::system_clock::time_point now) const;

    // The station's own events.
    ReportLine SendStarted(const std::string& name, std::uint64_t size,
                           std::chrono::system_clock::time_point now) const;
    ReportLine Error(const std::string& text, std::chrono::system_clock::time_point now) const;
    ReportLine Exit(int status, std::chrono::system_clock::time_point now) const;

  private:
    bool json_;
};

// The word for a transfer result code: "CRC OK" ... "CANCELLED", else "ERROR".
std::string ResultWord(std::uint8_t result);

// Modem bytes (Windows-1252) as UTF-8.
std::string ModemTextToUtf8(const std::vector<std::uint8_t>& bytes);

}  // namespace corvina::cli
