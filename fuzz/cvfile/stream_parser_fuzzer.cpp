// Input: one option byte, then the stream. The low six bits choose a piece
// length; bit 6 starts the parsers as if joining a stream mid-record; bit 7
// appends a framed record and a line of text, which must come out as that
// record and that text whatever the stream left the parser doing. Pushing the
// stream whole and in pieces must give the same events (text joined again,
// since text does not carry over between calls), except that a joining
// parser judges its first run by the first piece; no text may hold 0x00.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "cvfile/record_codec.h"
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

const cvfile::TransferRecord& Marker() {
    static const cvfile::TransferRecord marker{cvfile::RecordType::Result, 77, 0, 5, 6, {0}};
    return marker;
}

// Events for `stream` pushed in pieces of `piece` bytes (all at once for 0).
Events Parse(const std::vector<std::uint8_t>& stream, std::size_t piece, bool joining,
             cvfile::StreamParser& parser) {
    if (joining) {
        parser.JoinMidStream();
    }
    Events events;
    const std::size_t step = piece == 0 ? std::max<std::size_t>(stream.size(), 1) : piece;
    for (std::size_t at = 0; at < stream.size(); at += step) {
        Append(events, parser.Push(stream.data() + at, std::min(step, stream.size() - at)));
    }
    for (const auto& e : events) {
        if (std::find(e.bytes.begin(), e.bytes.end(), 0) != e.bytes.end()) {
            std::abort();
        }
    }
    return events;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const std::size_t piece = data[0] % 64 + 1;
    const bool joining = (data[0] & 0x40) != 0;
    const bool marked = (data[0] & 0x80) != 0;
    std::vector<std::uint8_t> stream(data + 1, data + size);
    const std::vector<std::uint8_t> line = {'7', '3'};
    if (marked) {
        const auto framed = cvfile::EncodeRecord(Marker());
        stream.insert(stream.end(), framed.begin(), framed.end());
        stream.insert(stream.end(), line.begin(), line.end());
    }

    cvfile::StreamParser whole;
    const Events expected = Parse(stream, 0, joining, whole);
    cvfile::StreamParser split;
    const Events actual = Parse(stream, piece, joining, split);

    for (const Events* events : {&expected, &actual}) {
        const std::size_t n = events->size();
        if (marked &&
            (n < 2 || !((*events)[n - 2].record == Marker()) || (*events)[n - 1].bytes != line)) {
            std::abort();
        }
    }
    if (joining) {
        return 0;
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
    }
    return 0;
}
