// Feeds arbitrary modem output to the response parser, whole and in pieces whose
// sizes come from the input itself, and checks that both give the same events
// and that every decoded frame is well formed. Then, after a reset, a valid
// frame made from the input must decode to exactly what it carries, whatever
// the parser saw before.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "cvhost/crc16.h"
#include "cvhost/response_parser.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// A response for channel, code and payload taken from the input, stuffed and
// with its CRC; `expected` receives what the parser must hand out.
std::vector<std::uint8_t> MakeResponse(const std::uint8_t* data, std::size_t size,
                                       cvhost::Frame& expected) {
    expected.channel = size > 0 ? data[0] : 0;
    expected.code = static_cast<std::uint8_t>(size % 9);
    std::vector<std::uint8_t> body = {expected.channel, expected.code};
    const std::size_t n = std::min<std::size_t>(size, 256);
    if (expected.code >= 1 && expected.code <= 5) {
        for (std::size_t i = 0; i < n; ++i) {
            expected.payload.push_back(data[i] == 0 ? 1 : data[i]);
        }
        body.insert(body.end(), expected.payload.begin(), expected.payload.end());
        body.push_back(0);
    } else if (expected.code >= 6) {
        expected.payload.assign(data, data + n);
        if (expected.payload.empty()) {
            expected.payload.push_back(0xAA);
        }
        body.push_back(static_cast<std::uint8_t>(expected.payload.size() - 1));
        body.insert(body.end(), expected.payload.begin(), expected.payload.end());
    }
    const std::uint16_t crc = cvhost::Crc16X25(body.data(), body.size());
    body.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    body.push_back(static_cast<std::uint8_t>(crc >> 8));
    std::vector<std::uint8_t> wire = {0xAA, 0xAA};
    for (std::uint8_t b : body) {
        wire.push_back(b);
        if (b == 0xAA) {
            wire.push_back(0x00);
        }
    }
    return wire;
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

    cvhost::Frame frame;
    const std::vector<std::uint8_t> wire = MakeResponse(data, size, frame);
    whole.Reset();
    const auto events = whole.Push(wire.data(), wire.size());
    Check(events.size() == 1 && events[0].kind == cvhost::ParseEvent::Kind::Frame &&
          events[0].frame == frame);
    return 0;
}
