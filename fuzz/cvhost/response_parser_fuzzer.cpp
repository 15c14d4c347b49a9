// Feeds arbitrary modem output to the response parser, whole and in pieces whose
// sizes come from the input itself, and checks that both give the same events
// and that every decoded frame is well formed.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "cvhost/response_parser.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    cvhost::ResponseParser whole;
    const std::vector<cvhost::ParseEvent> expected = whole.Push(data, size);
    Check(whole.ExpectedBodySize() <= 263);

    cvhost::ResponseParser pieces;
    std::vector<cvhost::ParseEvent> got;
    std::size_t pos = 0;
    std::size_t step = 0;
    while (pos < size) {
        // Piece sizes cycle through 1..7, seeded by the first byte.
        const std::size_t n = std::min<std::size_t>(1 + (data[0] + step++) % 7, size - pos);
        auto events = pieces.Push(data + pos, n);
        got.insert(got.end(), events.begin(), events.end());
        pos += n;
    }
    Check(got == expected);
    Check(pieces.CurrentState() == whole.CurrentState());

    for (const cvhost::ParseEvent& event : expected) {
        if (event.kind == cvhost::ParseEvent::Kind::Frame) {
            Check(event.frame.code <= cvhost::ResponseParser::kMaxCode);
            Check(event.frame.payload.size() <= 257);
            Check(event.frame.code != 0 || event.frame.payload.empty());
        } else {
            Check(event.frame == cvhost::Frame{});
        }
    }
    return 0;
}
