#include "transfer/incoming_name.h"

#include <array>
#include <cstdint>

#include "cvfile/transfer_data.h"

namespace corvina {
namespace {

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) {
            return false;
        }
    }
    return true;
}

bool IsForbiddenCharacter(unsigned char c) {
    if (c < 32) {
        return true;
    }
    switch (c) {
        case '"':
        case '*':
        case '/':
        case ':':
        case '<':
        case '>':
        case '?':
        case '\\':
        case '|':
            return true;
        default:
            return false;
    }
}

}  // namespace

bool IsWellFormedUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0) {
                low = 0xA0;  // overlong below U+0800
            } else if (lead == 0xED) {
                high = 0x9F;  // surrogates
            }
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0) {
                low = 0x90;  // overlong below U+10000
            } else if (lead == 0xF4) {
                high = 0x8F;  // above U+10FFFF
            }
        } else {
            return false;
        }
        if (text.size() - i < length) {
            return false;
        }
        const auto second = static_cast<unsigned char>(text[i + 1]);
        if (second < low || second > high) {
            return false;
        }
        for (std::size_t k = 2; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if (next < 0x80 || next > 0xBF) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

bool IsWindowsDeviceName(std::string_view name) {
    // Windows looks at the part before the first dot, with trailing spaces
    // ignored.
    std::string_view base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') {
        base.remove_suffix(1);
    }
    static constexpr std::array<std::string_view, 6> kPlain = {"CON", "PRN",    "AUX",
                                                               "NUL", "CONIN$", "CONOUT$"};
    for (std::string_view device : kPlain) {
        if (EqualsIgnoringAsciiCase(base, device)) {
            return true;
        }
    }
    if (base.size() < 4) {
        return false;
    }
    const std::string_view prefix = base.substr(0, 3);
    if (!EqualsIgnoringAsciiCase(prefix, "COM") && !EqualsIgnoringAsciiCase(prefix, "LPT")) {
        return false;
    }
    const std::string_view digit = base.substr(3);
    if (digit.size() == 1) {
        return digit[0] >= '1' && digit[0] <= '9';
    }
    // U+00B9, U+00B2, U+00B3 in UTF-8.
    return digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

std::optional<std::string> AcceptedIncomingName(const cvfile::TransferRecord& start) {
    const auto none = static_cast<std::uint32_t>(cvfile::CompressionMode::None);
    const auto zlib = static_cast<std::uint32_t>(cvfile::CompressionMode::Zlib);
    if (start.sequence != none && start.sequence != zlib) {
        return std::nullopt;
    }
    if (start.sequence == zlib && start.offset == 0) {
        return std::nullopt;
    }
    if (start.payload.empty() || start.payload.size() > kMaxFileNameBytes) {
        return std::nullopt;
    }
    std::string name(start.payload.begin(), start.payload.end());
    if (!IsWellFormedUtf8(name)) {
        return std::nullopt;
    }
    if (name == "." || name == ".." || name.back() == '.' || name.back() == ' ') {
        return std::nullopt;
    }
    for (char c : name) {
        if (IsForbiddenCharacter(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
    }
    if (IsWindowsDeviceName(name)) {
        return std::nullopt;
    }
    return name;
}

}  // namespace corvina
