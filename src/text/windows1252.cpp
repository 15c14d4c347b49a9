#include "text/windows1252.h"

#include <array>

namespace corvina {
namespace {

// The code page agrees with ISO 8859-1 except in 0x80..0x9F.
constexpr std::uint8_t kFirstDiffering = 0x80;
constexpr std::uint8_t kLastDiffering = 0x9F;

// 0x80..0x9F in order. The unassigned bytes carry their own C1 value.
constexpr std::array<char16_t, 32> kHighControlRange = {
    u'\u20AC', u'\u0081', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008D', u'\u017D', u'\u008F',
    u'\u0090', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u009D', u'\u017E', u'\u0178',
};

}  // namespace

char16_t Windows1252ToUnicode(std::uint8_t byte) {
    if (byte >= kFirstDiffering && byte <= kLastDiffering) {
        return kHighControlRange[byte - kFirstDiffering];
    }
    return static_cast<char16_t>(byte);
}

std::optional<std::uint8_t> UnicodeToWindows1252(char16_t unit) {
    if (unit < kFirstDiffering || (unit > kLastDiffering && unit <= 0xFF)) {
        return static_cast<std::uint8_t>(unit);
    }
    for (std::size_t i = 0; i < kHighControlRange.size(); ++i) {
        if (kHighControlRange[i] == unit) {
            return static_cast<std::uint8_t>(kFirstDiffering + i);
        }
    }
    return std::nullopt;
}

}  // namespace corvina
