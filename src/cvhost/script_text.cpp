#include "cvhost/script_text.h"

#include <limits>

namespace cvhost {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

std::string ToLowerAscii(std::string_view text) {
    std::string lowered(text);
    for (char& c : lowered) {
        c = LowerAscii(c);
    }
    return lowered;
}

bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

bool ParseUnsigned(std::string_view digits, std::uint32_t& value) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
    if (digits.empty()) {
        return false;
    }
    std::uint64_t result = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') {
            return false;
        }
        result = result * 10 + static_cast<std::uint64_t>(c - '0');
        if (result > kMax) {
            return false;
        }
    }
    value = static_cast<std::uint32_t>(result);
    return true;
}

bool IsDevicePathName(std::string_view name) {
    return !name.empty() && name.front() == '/';
}

}  // namespace cvhost
