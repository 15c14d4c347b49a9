#include "session/utc_timestamp.h"

#include <cstdio>

namespace corvina {
namespace {

struct Civil {
    std::chrono::year_month_day date;
    std::chrono::hh_mm_ss<std::chrono::milliseconds> clock;
};

Civil Split(std::chrono::system_clock::time_point time) {
    using namespace std::chrono;
    const auto ms = floor<milliseconds>(time);
    const auto day = floor<days>(ms);
    return {year_month_day(day), hh_mm_ss<milliseconds>(ms - day)};
}

}  // namespace

std::string FormatUtcTimestamp(std::chrono::system_clock::time_point time) {
    const Civil c = Split(time);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ",
                  static_cast<int>(c.date.year()), static_cast<unsigned>(c.date.month()),
                  static_cast<unsigned>(c.date.day()), static_cast<int>(c.clock.hours().count()),
                  static_cast<int>(c.clock.minutes().count()),
                  static_cast<int>(c.clock.seconds().count()),
                  static_cast<int>(c.clock.subseconds().count()));
    return text;
}

std::string FormatUtcDate(std::chrono::system_clock::time_point time) {
    return FormatUtcTimestamp(time).substr(0, 10);
}

}  // namespace corvina
