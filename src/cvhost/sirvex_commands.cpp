#include "cvhost/sirvex_commands.h"

#include <cstddef>
#include <stdexcept>
#include <string_view>

namespace cvhost {
namespace {

bool IsBlank(std::uint8_t byte) {
    return byte == ' ' || byte == '\t';
}

std::uint8_t ToUpper(std::uint8_t byte) {
    return (byte >= 'a' && byte <= 'z') ? static_cast<std::uint8_t>(byte - 'a' + 'A') : byte;
}

bool IsCallSignByte(std::uint8_t byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
           (byte >= '0' && byte <= '9') || byte == '-' || byte == '*';
}

// The MY command may be shortened down to its first two letters.
constexpr std::string_view kMycallWord = "MYCALL";
constexpr std::size_t kMinCommandWord = 2;
constexpr std::size_t kMinCallSign = 2;
constexpr std::size_t kMaxCallSign = 8;

}  // namespace

std::vector<std::uint8_t> BuildSirvexFecStartCommand(SirvexFecMode mode) {
    std::string_view text;
    switch (mode) {
        case SirvexFecMode::S1:
            text = "#UNPROTO 1";
            break;
        case SirvexFecMode::S2_S:
            text = "#UNPROTO 3";
            break;
        case SirvexFecMode::S2_L:
            text = "#UNPROTO 7";
            break;
        default:
            throw std::invalid_argument("unsupported SIRVEX FEC mode");
    }
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

bool ExtractTerminalSirvexMycall(const std::vector<std::uint8_t>& command,
                                 std::vector<std::uint8_t>& callSign) {
    callSign.clear();
    const std::size_t size = command.size();
    std::size_t pos = 0;
    while (pos < size && IsBlank(command[pos])) {
        ++pos;
    }

    const std::size_t wordStart = pos;
    while (pos < size && !IsBlank(command[pos])) {
        ++pos;
    }
    const std::size_t wordLength = pos - wordStart;
    if (pos == size || wordLength < kMinCommandWord || wordLength > kMycallWord.size()) {
        return false;
    }
    for (std::size_t i = 0; i < wordLength; ++i) {
        if (ToUpper(command[wordStart + i]) != static_cast<std::uint8_t>(kMycallWord[i])) {
            return false;
        }
    }

    while (pos < size && IsBlank(command[pos])) {
        ++pos;
    }
    if (pos == size) {
        return false;
    }
    const std::size_t callStart = pos;
    while (pos < size && !IsBlank(command[pos])) {
        ++pos;
    }
    const std::size_t callEnd = pos;
    for (; pos < size; ++pos) {
        if (!IsBlank(command[pos])) {
            return false;
        }
    }
    const std::size_t callLength = callEnd - callStart;
    if (callLength < kMinCallSign || callLength > kMaxCallSign) {
        return false;
    }
    for (std::size_t i = callStart; i < callEnd; ++i) {
        if (!IsCallSignByte(command[i])) {
            callSign.clear();
            return false;
        }
        callSign.push_back(ToUpper(command[i]));
    }
    return true;
}

}  // namespace cvhost
