#pragma once

#include <chrono>
#include <string>

namespace corvina {

// `time` as ISO 8601 UTC with milliseconds: "2026-03-01T17:04:05.250Z".
std::string FormatUtcTimestamp(std::chrono::system_clock::time_point time);

// The UTC day of `time` as "2026-03-01", the name of that day's transcript.
std::string FormatUtcDate(std::chrono::system_clock::time_point time);

}  // namespace corvina
