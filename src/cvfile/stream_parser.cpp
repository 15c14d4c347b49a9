#include "cvfile/stream_parser.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "cvfile/record_codec.h"

namespace cvfile {
namespace {

constexpr std::uint8_t kFrameDelimiter = 0x00;

// A valid raw record opens with ten non-zero bytes (magic, version, type) and
// then the zero reserved word, so its COBS text always opens with the group
// code 11, the magic and the version. Ordinary text never starts that way.
constexpr std::size_t kNonZeroHeadBytes = kRecordMagic.size() + 2;
constexpr std::size_t kBodyStartSize = 1 + kRecordMagic.size() + 1;
constexpr std::array<std::uint8_t, kBodyStartSize> kBodyStart = [] {
    std::array<std::uint8_t, kBodyStartSize> start{};
    start[0] = static_cast<std::uint8_t>(kNonZeroHeadBytes + 1);
    std::copy(kRecordMagic.begin(), kRecordMagic.end(), start.begin() + 1);
    start.back() = ProtocolVersion;
    return start;
}();

// Bytes that text from the modem (Windows-1252) never holds, but record bytes
// often do: control codes other than tab, line feed and carriage return, DEL,
// and the five codes Windows-1252 leaves unassigned.
bool IsNeverText(std::uint8_t b) {
    if (b < 0x20) {
        return b != '\t' && b != '\n' && b != '\r';
    }
    return b == 0x7F || b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
}

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
    joining = false;
    afterClose = false;
    held.clear();
    buffer.clear();
}

void StreamParser::JoinMidStream() {
    Reset();
    inRecord = true;
    joining = true;
}

void StreamParser::FinishRecord(std::vector<StreamEvent>& events) {
    if (!buffer.empty()) {
        StreamEvent event = MakeEvent(StreamEventKind::Record);
        if (!DecodeRecord(buffer.data(), buffer.size(), event.record)) {
            event = MakeEvent(StreamEventKind::Invalid);
        }
        events.push_back(std::move(event));
    }
    buffer.clear();
    inRecord = false;
    afterClose = true;
}

std::size_t StreamParser::TakeRun(const std::uint8_t* data, std::size_t pos, std::size_t delimiter,
                                  std::size_t size, std::vector<StreamEvent>& events) {
    if (afterClose) {
        while (held.size() < kBodyStart.size() && pos < delimiter &&
               data[pos] == kBodyStart[held.size()]) {
            held.push_back(data[pos++]);
        }
        if (held.size() == kBodyStart.size()) {
            // This record's opening 0x00 was read as the last one's closing.
            buffer.assign(held.begin(), held.end());
            held.clear();
            afterClose = false;
            inRecord = true;
            return pos;
        }
        if (pos == size) {
            return size;  // the piece ended inside the match: wait for more
        }
        afterClose = false;
    }
    if (!held.empty() || delimiter > pos) {
        StreamEvent text = MakeEvent(StreamEventKind::Text);
        text.bytes.swap(held);
        text.bytes.insert(text.bytes.end(), data + pos, data + delimiter);
        events.push_back(std::move(text));
    }
    if (delimiter < size) {
        inRecord = true;
        buffer.clear();
    }
    return delimiter + 1;
}

std::vector<StreamEvent> StreamParser::Push(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr && size > 0) {
        throw std::invalid_argument("CVFT stream input is null");
    }
    // Text runs never straddle a delimiter or a call (but for the few bytes
    // held while they look like a record's start), so each one is a slice of
    // the input and is emitted as soon as it ends.
    std::vector<StreamEvent> events;
    std::size_t pos = 0;
    while (pos < size) {
        const std::size_t delimiter = NextDelimiter(data, pos, size);
        if (discarding) {
            if (delimiter < size) {
                discarding = false;
                afterClose = true;
            }
            pos = delimiter + 1;
            continue;
        }
        if (joining) {
            // Judged on what this piece holds of the first run: text must not
            // wait for a delimiter that may never come.
            joining = false;
            if (delimiter > pos && std::none_of(data + pos, data + delimiter, IsNeverText)) {
                inRecord = false;
            }
        }
        if (!inRecord) {
            pos = TakeRun(data, pos, delimiter, size, events);
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
            FinishRecord(events);
            ++pos;
        }
    }
    return events;
}

}  // namespace cvfile
