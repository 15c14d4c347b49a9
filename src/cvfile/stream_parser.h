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
// back at the end of each call. Memory held between calls is bounded by
// kMaxCollectedRecordBytes. Not thread-safe: one owner thread per parser.
class StreamParser {
  public:
    // Forgets any partly collected record: the next byte is read as text.
    // The collection buffer keeps its capacity.
    void Reset();

    // The stream broke off (a link ended) and what follows may be either the
    // late tail of a record being collected or the opening of a fresh one.
    // A Reset here would show such a tail as text and let its closing 0x00
    // open a record out of phase, after which record bodies read as text.
    // Instead the record stays open; if its next 0x00 does not complete a
    // valid record, that 0x00 is taken as an opening (the tail never came).
    // Outside a record this does nothing.
    void Interrupt();

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
    // Emits the collected record (or Invalid); true when it decoded.
    bool FinishRecord(std::vector<StreamEvent>& events);

    bool inRecord = false;
    bool discarding = false;
    bool interrupted = false;
    std::vector<std::uint8_t> buffer;
};

}  // namespace cvfile
