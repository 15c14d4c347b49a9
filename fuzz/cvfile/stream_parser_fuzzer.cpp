// Input: one byte choosing the piece length, then the stream. Pushing the
// stream whole and in pieces must give the same events (text joined again,
// since text does not carry over between calls), and no text may hold 0x00.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "cvfile/stream_parser.h"

namespace {

using Events = std::vector<cvfile::StreamEvent>;

void Append(Events& all, Events&& more) {
    for (auto& e : more) {
        const bool joinText = e.kind == cvfile::StreamEventKind::Text && !all.empty() &&
                              all.back().kind == cvfile::StreamEventKind::Text;
        if (joinText) {
            all.back().bytes.insert(all.back().bytes.end(), e.bytes.begin(), e.bytes.end());
        } else {
            all.push_back(std::move(e));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::size_t piece = data[0] % 64 + 1;
    ++data;
    --size;

    cvfile::StreamParser whole;
    Events expected;
    Append(expected, whole.Push(data, size));

    cvfile::StreamParser split;
    Events actual;
    for (std::size_t at = 0; at < size; at += piece) {
        Append(actual, split.Push(data + at, std::min(piece, size - at)));
    }
    if (actual.size() != expected.size() || whole.InRecord() != split.InRecord() ||
        whole.Discarding() != split.Discarding()) {
        std::abort();
    }
    for (std::size_t i = 0; i < actual.size(); ++i) {
        const auto& a = actual[i];
        const auto& b = expected[i];
        if (a.kind != b.kind || a.bytes != b.bytes || !(a.record == b.record)) {
            std::abort();
        }
        for (std::uint8_t byte : a.bytes) {
            if (byte == 0) {
                std::abort();
            }
        }
    }
    return 0;
}
