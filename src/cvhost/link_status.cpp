#include "cvhost/link_status.h"

#include <limits>

namespace cvhost {
namespace {

bool IsBlank(std::uint8_t byte) {
    return byte == ' ' || byte == '\t';
}

bool IsDigit(std::uint8_t byte) {
    return byte >= '0' && byte <= '9';
}

// What may follow the last number: NUL, tab, LF, CR or blank.
bool IsTrailer(std::uint8_t byte) {
    return byte == 0x00 || byte == '\t' || byte == '\n' || byte == '\r' || byte == ' ';
}

}  // namespace

bool ParseLinkStatus(const std::vector<std::uint8_t>& text, LinkStatus& status) {
    constexpr std::uint64_t kMaxValue = std::numeric_limits<std::uint32_t>::max();
    LinkStatus parsed;
    const std::size_t size = text.size();
    std::size_t pos = 0;
    for (std::size_t index = 0; index < parsed.values.size(); ++index) {
        while (pos < size && IsBlank(text[pos])) {
            ++pos;
        }
        if (pos == size) {
            return false;
        }
        const std::size_t start = pos;
        std::uint64_t value = 0;
        while (pos < size && IsDigit(text[pos])) {
            value = value * 10 + (text[pos] - '0');
            if (value > kMaxValue) {
                return false;
            }
            ++pos;
        }
        if (pos == start) {
            return false;
        }
        parsed.values[index] = static_cast<std::uint32_t>(value);
    }
    for (; pos < size; ++pos) {
        if (!IsTrailer(text[pos])) {
            return false;
        }
    }
    status = parsed;
    return true;
}

}  // namespace cvhost
