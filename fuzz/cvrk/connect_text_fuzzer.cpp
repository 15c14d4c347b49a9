// Feeds arbitrary bytes to the parsers of operator commands, modem link
// messages and call lists; whatever they return must be a normalised call.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cvrk/call_sign.h"
#include "cvrk/connect_text.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void RequireNormalizedOrEmpty(const std::string& call) {
    if (call.empty()) {
        return;
    }
    std::string copy = call;
    Require(cvrk::NormalizeCall(copy));
    Require(copy == call);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);

    const std::string target = cvrk::ExtractConnectTarget(bytes);
    RequireNormalizedOrEmpty(target);
    if (!target.empty()) {
        Require(cvrk::ExtractConnectTarget(cvrk::BuildRobustConnectCommand(target)) == target);
    }

    const std::string peer = cvrk::ExtractConnectedPeer(bytes);
    RequireNormalizedOrEmpty(peer);

    const std::vector<std::string> calls = cvrk::ParseCallList(data, size);
    Require(calls.size() <= static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')));
    for (std::size_t i = 0; i < calls.size(); ++i) {
        Require(!calls[i].empty());
        RequireNormalizedOrEmpty(calls[i]);
        Require(std::find(calls.begin() + static_cast<std::ptrdiff_t>(i) + 1, calls.end(),
                          calls[i]) == calls.end());
    }
    return 0;
}
