#include "cvrk/call_sign.h"

#include <algorithm>

namespace cvrk {
namespace {

constexpr std::size_t kMinCallLength = 2;
constexpr std::size_t kMaxCallLength = 8;
constexpr char kCaseBit = 0x20;

}  // namespace

bool IsCallCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

namespace {

bool Normalize(std::string& call, bool starAllowed) {
    if (call.size() < kMinCallLength || call.size() > kMaxCallLength) {
        return false;
    }
    for (char& c : call) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - kCaseBit);
        } else if (!IsCallCharacter(c) && !(starAllowed && c == '*')) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool NormalizeCall(std::string& call) {
    return Normalize(call, false);
}

bool NormalizeOwnCall(std::string& call) {
    return Normalize(call, true);
}

std::vector<std::string> ParseCallList(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> calls;
    if (data == nullptr || size == 0) {
        return calls;
    }
    const auto* begin = reinterpret_cast<const char*>(data);
    const char* end = begin + size;
    for (const char* line = begin;;) {
        const char* lineEnd = std::find(line, end, '\n');
        if (lineEnd == end) {
            break;
        }
        std::string call(line, lineEnd);
        if (!call.empty() && call.back() == '\r') {
            call.pop_back();
        }
        if (NormalizeCall(call) && std::find(calls.begin(), calls.end(), call) == calls.end()) {
            calls.push_back(std::move(call));
        }
        line = lineEnd + 1;
    }
    return calls;
}

}  // namespace cvrk
