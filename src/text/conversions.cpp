#include "text/conversions.h"

#include "text/windows1252.h"

namespace corvina {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';
constexpr std::uint8_t kUnmappable = '?';
constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';

// UTF-16 surrogate ranges and the offset a pair's code point is built from.
constexpr char16_t kHighSurrogateFirst = 0xD800;
constexpr char16_t kHighSurrogateLast = 0xDBFF;
constexpr char16_t kLowSurrogateFirst = 0xDC00;
constexpr char16_t kLowSurrogateLast = 0xDFFF;
constexpr char32_t kSupplementaryBase = 0x10000;

// UTF-8 continuation bytes are 10xxxxxx.
constexpr std::uint8_t kContinuationLow = 0x80;
constexpr std::uint8_t kContinuationHigh = 0xBF;
constexpr std::uint8_t kContinuationPayload = 0x3F;

bool IsHighSurrogate(char16_t unit) {
    return unit >= kHighSurrogateFirst && unit <= kHighSurrogateLast;
}

bool IsLowSurrogate(char16_t unit) {
    return unit >= kLowSurrogateFirst && unit <= kLowSurrogateLast;
}

void AppendCodePoint(char32_t codePoint, std::u16string& out) {
    if (codePoint < kSupplementaryBase) {
        out.push_back(static_cast<char16_t>(codePoint));
        return;
    }
    const char32_t offset = codePoint - kSupplementaryBase;
    out.push_back(static_cast<char16_t>(kHighSurrogateFirst + (offset >> 10)));
    out.push_back(static_cast<char16_t>(kLowSurrogateFirst + (offset & 0x3FF)));
}

// What a lead byte announces: how many continuation bytes follow, the payload
// bits it carries, and the allowed range of the first continuation byte. The
// narrowed ranges after E0, ED, F0 and F4 are what rule out overlongs, encoded
// surrogates and code points above U+10FFFF without decoding first.
struct LeadByte {
    int continuations = 0;
    char32_t payload = 0;
    std::uint8_t secondLow = kContinuationLow;
    std::uint8_t secondHigh = kContinuationHigh;
};

// False for a byte that cannot start a sequence (a continuation byte, C0, C1 or
// F5..FF).
bool ClassifyLead(std::uint8_t byte, LeadByte& lead) {
    if (byte >= 0xC2 && byte <= 0xDF) {
        lead = {1, static_cast<char32_t>(byte & 0x1F)};
    } else if (byte >= 0xE0 && byte <= 0xEF) {
        lead = {2, static_cast<char32_t>(byte & 0x0F)};
        if (byte == 0xE0) {
            lead.secondLow = 0xA0;
        } else if (byte == 0xED) {
            lead.secondHigh = 0x9F;
        }
    } else if (byte >= 0xF0 && byte <= 0xF4) {
        lead = {3, static_cast<char32_t>(byte & 0x07)};
        if (byte == 0xF0) {
            lead.secondLow = 0x90;
        } else if (byte == 0xF4) {
            lead.secondHigh = 0x8F;
        }
    } else {
        return false;
    }
    return true;
}

}  // namespace

std::u16string BytesToWide(const std::vector<std::uint8_t>& bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (std::uint8_t byte : bytes) {
        out.push_back(Windows1252ToUnicode(byte));
    }
    return out;
}

std::u16string Utf8ToWide(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<std::uint8_t>(text[i]);
        if (byte < 0x80) {
            out.push_back(byte);
            ++i;
            continue;
        }
        LeadByte lead;
        if (!ClassifyLead(byte, lead)) {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        // Consume continuation bytes while they fit; the first one that does not
        // ends the ill-formed subsequence and is decoded afresh.
        char32_t codePoint = lead.payload;
        std::size_t next = i + 1;
        int needed = lead.continuations;
        std::uint8_t low = lead.secondLow;
        std::uint8_t high = lead.secondHigh;
        while (needed > 0 && next < text.size()) {
            const auto continuation = static_cast<std::uint8_t>(text[next]);
            if (continuation < low || continuation > high) {
                break;
            }
            codePoint = (codePoint << 6) | (continuation & kContinuationPayload);
            ++next;
            --needed;
            low = kContinuationLow;
            high = kContinuationHigh;
        }
        if (needed == 0) {
            AppendCodePoint(codePoint, out);
        } else {
            out.push_back(kReplacement);
        }
        i = next;
    }
    return out;
}

std::string WideToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t codePoint = text[i];
        if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            codePoint = kSupplementaryBase + ((codePoint - kHighSurrogateFirst) << 10) +
                        (text[i + 1] - kLowSurrogateFirst);
            ++i;
        } else if (IsHighSurrogate(text[i]) || IsLowSurrogate(text[i])) {
            codePoint = kReplacement;
        }
        if (codePoint < 0x80) {
            out.push_back(static_cast<char>(codePoint));
        } else if (codePoint < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
            out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
        } else if (codePoint < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
            out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
            out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
        }
    }
    return out;
}

std::vector<std::uint8_t> WideToModemBytes(std::u16string_view text) {
    std::vector<std::uint8_t> out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit == kCr) {
            out.push_back('\r');
            if (i + 1 < text.size() && text[i + 1] == kLf) {
                ++i;
            }
        } else if (unit == kLf) {
            out.push_back('\r');
        } else if (IsHighSurrogate(unit) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            // One character outside the code page, so one "?".
            out.push_back(kUnmappable);
            ++i;
        } else {
            out.push_back(UnicodeToWindows1252(unit).value_or(kUnmappable));
        }
    }
    return out;
}

}  // namespace corvina
