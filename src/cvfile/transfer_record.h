#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace cvfile {

// The format version written into every record.
inline constexpr std::uint8_t ProtocolVersion = 1;

// First bytes of every raw record.
inline constexpr std::array<std::uint8_t, 8> kRecordMagic = {'C',  'V',  'F',  'T',
                                                             0x0D, 0x0A, 0x1A, 0x01};

// Largest payload one record may carry.
inline constexpr std::size_t kMaxPayloadSize = 65536;

// Raw record: 40-byte header, payload, 4-byte CRC-32 trailer.
inline constexpr std::size_t kRecordHeaderSize = 40;
inline constexpr std::size_t kRecordTrailerSize = 4;
inline constexpr std::size_t kMinRawRecordSize = kRecordHeaderSize + kRecordTrailerSize;
inline constexpr std::size_t kMaxRawRecordSize = kMinRawRecordSize + kMaxPayloadSize;

// Kind of record (8-bit on the wire). The header words mean different things
// per type; the codec checks only the range 1..5.
enum class RecordType : std::uint8_t {
    Start = 1,   // sequence: CompressionMode, offset: file size, value: file CRC, payload: name
    Data = 2,    // sequence: chunk number, offset: position in transfer data, value: chunk count
    End = 3,     // sequence: Data records + 1, offset: file size, value: file CRC
    Result = 4,  // offset: bytes taken in, value: CRC computed, payload: one ResultCode byte
    Cancel = 5,  // everything zero
};

// A receiver's verdict on a transfer (8-bit, the single payload byte of a
// Result record).
enum class ResultCode : std::uint8_t {
    CrcOk = 0,
    CrcError = 1,
    ProtocolError = 2,
    FileError = 3,
    Rejected = 4,
    Cancelled = 5,
};

// The word shown to the operator for a result byte ("CRC OK", "CRC ERROR",
// ...); "ERROR" for any byte that is not a defined ResultCode, since the byte
// comes from the peer.
std::string_view ResultWord(std::uint8_t result);
inline std::string_view ResultWord(ResultCode result) {
    return ResultWord(static_cast<std::uint8_t>(result));
}

// One decoded record; a plain value type.
struct TransferRecord {
    RecordType type = RecordType::Data;
    std::uint64_t transferId = 0;  // never 0 on the wire
    std::uint32_t sequence = 0;
    std::uint64_t offset = 0;
    std::uint32_t value = 0;
    std::vector<std::uint8_t> payload;  // at most kMaxPayloadSize bytes

    friend bool operator==(const TransferRecord&, const TransferRecord&) = default;
};

}  // namespace cvfile
