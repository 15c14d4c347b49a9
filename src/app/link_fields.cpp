#include "app/link_fields.h"

namespace corvina {
namespace {

constexpr unsigned long kMaxChannel = 31;
constexpr unsigned long kMaxPort = 65535;

bool IsSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

// Digits from `pos` to the end; nothing when there are none, another character
// follows, or the value passes `limit`.
std::optional<unsigned long> ParseDigitsToEnd(std::u16string_view text, std::size_t pos,
                                              unsigned long limit) {
    if (pos >= text.size()) {
        return std::nullopt;
    }
    unsigned long value = 0;
    for (; pos < text.size(); ++pos) {
        const char16_t c = text[pos];
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned long>(c - u'0');
        if (value > limit) {
            return std::nullopt;
        }
    }
    return value;
}

}  // namespace

std::optional<std::uint8_t> ParseHostmodeChannel(std::u16string_view text) {
    const auto value = ParseDigitsToEnd(text, 0, kMaxChannel);
    if (!value || *value == 0) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(*value);
}

std::optional<std::uint16_t> ParseTelnetPort(std::u16string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsSpace(text[pos])) {
        ++pos;
    }
    if (pos < text.size() && text[pos] == u'+') {
        ++pos;
    }
    const auto value = ParseDigitsToEnd(text, pos, kMaxPort);
    if (!value || *value == 0) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(*value);
}

}  // namespace corvina
