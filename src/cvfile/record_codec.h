#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cvfile/transfer_record.h"

namespace cvfile {

// Conversion between TransferRecord and the framed wire form: 0x00, the COBS
// encoding of the raw little-endian record, 0x00. Pure; any thread.

// The framed record. Throws std::invalid_argument, checked in this order, for
// a zero transferId ("CVFT transfer ID must not be zero"), a payload above
// kMaxPayloadSize ("CVFT payload is too large") or a type outside 1..5
// ("CVFT record type is invalid"). Header words are written as given.
std::vector<std::uint8_t> EncodeRecord(const TransferRecord& record);

// Decodes the COBS text of one record, without its delimiters. Returns true
// and fills `record` when the record is valid. On failure returns false and,
// when `error` is not null, stores the reason there ("invalid COBS data",
// "CVFT record is too short", "CVFT magic does not match", "CVFT header is
// invalid", "CVFT payload length does not match", "CVFT record CRC32 does not
// match", "CVFT transfer ID is zero"); `error` is untouched on success. For
// the zero-ID failure `record` has already been filled; after any other
// failure its contents are unspecified. Never throws on bad data.
bool DecodeRecord(const std::uint8_t* data, std::size_t size, TransferRecord& record,
                  std::string* error = nullptr);

// True when the first `size` bytes of a sequence of framed records stop
// between a record's opening and closing 0x00, which is the case exactly when
// they hold an odd number of 0x00 bytes. Throws std::invalid_argument
// ("CVFT framed prefix is null") for a null `data` with `size` > 0.
bool FramedPrefixEndsInsideRecord(const std::uint8_t* data, std::size_t size);

}  // namespace cvfile
