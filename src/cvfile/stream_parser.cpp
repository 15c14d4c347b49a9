#include "cvfile/stream_parser.h"

#include <cstring>
#include <stdexcept>
#include <utility>

#include "cvfile/record_codec.h"

namespace cvfile {
namespace {

constexpr std::uint8_t kFrameDelimiter = 0x00;

// Position of the next 0x00 in [data + from, data + size), or `size`.
std::size_t NextDelimiter(const std::uint8_t* data, std::size_t from, std::size_t size) {
    if (from >= size) {
        return size;
    }
    const void* hit = std::memchr(data + from, kFrameDelimiter, size - from);
    return hit == nullptr ? size
                          : static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - data);
}

StreamEvent MakeEvent(StreamEventKind kind) {
    StreamEvent event;
    event.kind = kind;
    return event;
}

}  // namespace

void StreamParser::Reset() {
    inRecord = false;
    discarding = false;
    interrupted = false;
    buffer.clear();
}

void StreamParser::Interrupt() {
    interrupted = inRecord || discarding;
}

bool StreamParser::FinishRecord(std::vector<StreamEvent>& events) {
    StreamEvent event = MakeEvent(StreamEventKind::Record);
    const bool decoded =
        !buffer.empty() && DecodeRecord(buffer.data(), buffer.size(), event.record);
    if (decoded) {
        events.push_back(std::move(event));
    } else if (!buffer.empty()) {
        events.push_back(MakeEvent(StreamEventKind::Invalid));
    }
    return decoded;
}

std::vector<StreamEvent> StreamParser::Push(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr && size > 0) {
        throw std::invalid_argument("CVFT stream input is null");
    }
    // Text runs never straddle a delimiter or a call, so each one is a single
    // slice of the input and is emitted as soon as it ends.
    std::vector<StreamEvent> events;
    std::size_t pos = 0;
    while (pos < size) {
        const std::size_t delimiter = NextDelimiter(data, pos, size);
        if (discarding) {
            if (delimiter < size) {
                discarding = false;
                // After a break the delimiter may just as well open the next record.
                inRecord = std::exchange(interrupted, false);
            }
            pos = delimiter + 1;
            continue;
        }
        if (!inRecord) {
            if (delimiter > pos) {
                StreamEvent text = MakeEvent(StreamEventKind::Text);
                text.bytes.assign(data + pos, data + delimiter);
                events.push_back(std::move(text));
            }
            if (delimiter < size) {
                inRecord = true;
                buffer.clear();
            }
            pos = delimiter + 1;
            continue;
        }
        const std::size_t room = kMaxCollectedRecordBytes - buffer.size();
        const std::size_t run = delimiter - pos;
        if (run > room) {
            // The byte after `room` more is one too many: no legal record is
            // that long, so give up on it and skip to the next delimiter.
            events.push_back(MakeEvent(StreamEventKind::Invalid));
            buffer.clear();
            inRecord = false;
            discarding = true;
            pos += room + 1;
            continue;
        }
        buffer.insert(buffer.end(), data + pos, data + delimiter);
        pos = delimiter;
        if (delimiter < size) {
            const bool decoded = FinishRecord(events);
            // After a break, a delimiter that closes nothing valid opens a record.
            inRecord = std::exchange(interrupted, false) && !decoded;
            buffer.clear();
            ++pos;
        }
    }
    return events;
}

}  // namespace cvfile
