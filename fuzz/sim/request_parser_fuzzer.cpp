// The simulated modem reads whatever a host writes. Properties: the parser never
// fails on any input, a stream fed in two pieces gives the same events as in one,
// and every request it accepts, framed again by the program's own builder, parses
// back to the same request.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "cvhost/request.h"
#include "sim/request_parser.h"

namespace {

bool SameEvents(const std::vector<velksim::RequestEvent>& a,
                const std::vector<velksim::RequestEvent>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].kind != b[i].kind || a[i].request.body != b[i].request.body) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    velksim::RequestParser whole;
    const auto events = whole.Push(data, size);

    const std::size_t cut = size == 0 ? 0 : data[0] % (size + 1);
    velksim::RequestParser split;
    auto pieces = split.Push(data, cut);
    const auto rest = split.Push(data + cut, size - cut);
    pieces.insert(pieces.end(), rest.begin(), rest.end());
    if (!SameEvents(events, pieces)) {
        std::abort();
    }

    for (const auto& event : events) {
        if (event.kind != velksim::RequestEvent::Kind::Request) {
            continue;
        }
        const auto& request = event.request;
        if (request.payload.empty() || request.payload.size() > 256) {
            std::abort();
        }
        const auto framed = cvhost::BuildRequest(request.channel, request.command,
                                                 request.sequenceBit, request.sequenceStart,
                                                 request.payload.data(), request.payload.size());
        velksim::RequestParser again;
        const auto reparsed = again.Push(framed.data(), framed.size());
        if (reparsed.size() != 1 || reparsed[0].kind != velksim::RequestEvent::Kind::Request ||
            reparsed[0].request.body != request.body) {
            std::abort();
        }
    }
    return 0;
}
