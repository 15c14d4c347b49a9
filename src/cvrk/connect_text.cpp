#include "cvrk/connect_text.h"

#include <algorithm>
#include <string_view>

#include "cvrk/call_sign.h"

namespace cvrk {
namespace {

// Connect command: "C" (either case), a blank, blanks, an optional prefix, the call.
constexpr std::uint8_t kCaseFoldMask = 0xDF;
constexpr std::uint8_t kConnectLetter = 'C';
constexpr std::uint8_t kBlank = ' ';
constexpr std::size_t kCommandHeaderLength = 2;
constexpr std::size_t kMinCommandLength = 3;
constexpr std::string_view kCallPrefixes = "!%;";

constexpr std::string_view kConnectedMarker = "CONNECTED to ";
constexpr std::string_view kRobustConnect = "C %";
constexpr std::string_view kChangeoverSeparator = " de ";
constexpr std::string_view kChangeoverEnd = ">\r\n";

bool EndsTarget(std::uint8_t byte) {
    return byte == kBlank || byte == '\r' || byte == '\n';
}

void Append(std::vector<std::uint8_t>& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}

}  // namespace

std::string ExtractConnectTarget(const std::vector<std::uint8_t>& command) {
    if (command.size() < kMinCommandLength) {
        return {};
    }
    if ((command[0] & kCaseFoldMask) != kConnectLetter || command[1] != kBlank) {
        return {};
    }
    auto it = std::find_if(command.begin() + kCommandHeaderLength, command.end(),
                           [](std::uint8_t byte) { return byte != kBlank; });
    if (it != command.end() &&
        kCallPrefixes.find(static_cast<char>(*it)) != std::string_view::npos) {
        ++it;
    }
    std::string target(it, std::find_if(it, command.end(), EndsTarget));
    if (!NormalizeCall(target)) {
        return {};
    }
    return target;
}

std::string ExtractConnectedPeer(const std::vector<std::uint8_t>& message) {
    const auto marker = std::search(message.begin(), message.end(), kConnectedMarker.begin(),
                                    kConnectedMarker.end());
    if (marker == message.end()) {
        return {};
    }
    const auto callBegin = marker + static_cast<std::ptrdiff_t>(kConnectedMarker.size());
    const auto callEnd = std::find_if(callBegin, message.end(), [](std::uint8_t byte) {
        return !IsCallCharacter(static_cast<char>(byte));
    });
    std::string peer(callBegin, callEnd);
    if (!NormalizeCall(peer)) {
        return {};
    }
    return peer;
}

std::vector<std::uint8_t> BuildRobustConnectCommand(const std::string& call) {
    std::string normalized = call;
    if (!NormalizeCall(normalized)) {
        return {};
    }
    std::vector<std::uint8_t> command;
    Append(command, kRobustConnect);
    Append(command, normalized);
    return command;
}

std::vector<std::uint8_t> BuildChangeoverPrompt(const std::string& peer, const std::string& own) {
    std::string peerCall = peer;
    std::string ownCall = own;
    if (!NormalizeCall(peerCall) || !NormalizeOwnCall(ownCall)) {
        return {};
    }
    std::vector<std::uint8_t> prompt;
    Append(prompt, peerCall);
    Append(prompt, kChangeoverSeparator);
    Append(prompt, ownCall);
    Append(prompt, kChangeoverEnd);
    return prompt;
}

}  // namespace cvrk
