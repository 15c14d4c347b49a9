#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "cvfile/transfer_record.h"

namespace cvfile {

// Most COBS bytes collected for one record; the largest legal record needs
// kMaxRawRecordSize + kMaxRawRecordSize / 254 + 1 = 65,839.
inline constexpr std::size_t kMaxCollectedRecordBytes = 65840;
static_assert(kMaxRawRecordSize + kMaxRawRecordSize / 254 + 1 <= kMaxCollectedRecordBytes);

enum class StreamEventKind : std::uint32_t {
    Text = 0,     // a run of bytes outside any record
    Record = 1,   // a framed record that decoded
    Invalid = 2,  // a framed record that did not decode, or one too long to collect
};

// One result of StreamParser::Push.
struct StreamEvent {
    StreamEventKind kind = StreamEventKind::Text;
    std::vector<std::uint8_t> bytes;  // Text only: the text, without 0x00 delimiters
    TransferRecord record;            // Record only; a default record otherwise
};

// Splits a byte stream that mixes text with framed records (0x00, COBS,
// 0x00) into text runs and records. The stream may arrive in pieces of any
// size: a record split across Push calls is reassembled, while text is handed
// back at the end of each call (but for the few bytes after a record that
// match how a record begins, which wait for the next call). Memory held
// between calls is bounded by kMaxCollectedRecordBytes.
//
// The parser finds its way back into phase with the delimiters by itself: a
// run that follows a closing 0x00 and begins the way every encoded record
// begins is collected as a record, since its own opening 0x00 was evidently
// taken for the previous record's closing one. So a record cut off (by a
// link's end, or by a reader that started mid-stream) costs that record only.
// Not thread-safe: one owner thread per parser.
class StreamParser {
  public:
    // Forgets any partly collected record: the next byte is read as text.
    // The collection buffer keeps its capacity.
    void Reset();

    // Like Reset, for a stream joined while it may be in the middle of a
    // record (a session starts while a link is up). The first run, up to the
    // first 0x00, is then either the tail of a record whose head went to an
    // earlier reader or plain text: a run holding bytes no text has is taken
    // as such a tail and dropped with the 0x00 that closes it; any other run
    // is text.
    void JoinMidStream();

    // Consumes `size` bytes at `data` and returns the events they complete,
    // in stream order. Never throws on bad data; a record that fails to
    // decode or overflows the collection limit becomes one Invalid event,
    // and after an overflow everything up to the next 0x00 is dropped (that
    // 0x00 opens nothing). Throws std::invalid_argument ("CVFT stream input is
    // null") for a null `data` with `size` > 0.
    std::vector<StreamEvent> Push(const std::uint8_t* data, std::size_t size);

    // Where the parser stands between calls: inside an opened record, or
    // skipping the rest of an overlong one.
    bool InRecord() const { return inRecord; }
    bool Discarding() const { return discarding; }

  private:
    // Emits the collected record (or Invalid) and leaves the record.
    void FinishRecord(std::vector<StreamEvent>& events);
    // Outside a record: emits the text run [pos, delimiter) unless it turns
    // out to be a record body; returns where to go on.
    std::size_t TakeRun(const std::uint8_t* data, std::size_t pos, std::size_t delimiter,
                        std::size_t size, std::vector<StreamEvent>& events);

    bool inRecord = false;
    bool discarding = false;
    // The first run after JoinMidStream has yet to be judged.
    bool joining = false;
    // The last byte closed a record (or skipped one): a record body may start.
    bool afterClose = false;
    // Bytes after a close that so far match the start of a record body; they
    // are text if the match fails, so they wait at most a few bytes.
    std::vector<std::uint8_t> held;
    std::vector<std::uint8_t> buffer;
};

}  // namespace cvfile
