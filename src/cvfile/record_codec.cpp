#include "cvfile/record_codec.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

#include "cvfile/cobs.h"
#include "cvfile/crc32.h"

namespace cvfile {
namespace {

// Raw record, little-endian:
// magic[8] version[1] type[1] reserved[2] transferId[8] sequence[4] offset[8]
// value[4] payloadLength[4] payload[n] crc32[4] (over everything before it)
constexpr std::size_t kMagicOffset = 0;
constexpr std::size_t kVersionOffset = 8;
constexpr std::size_t kTypeOffset = 9;
constexpr std::size_t kReservedOffset = 10;
constexpr std::size_t kTransferIdOffset = 12;
constexpr std::size_t kSequenceOffset = 20;
constexpr std::size_t kOffsetOffset = 24;
constexpr std::size_t kValueOffset = 32;
constexpr std::size_t kPayloadLengthOffset = 36;
static_assert(kPayloadLengthOffset + 4 == kRecordHeaderSize);

constexpr std::uint8_t kFrameDelimiter = 0x00;

bool IsValidType(std::uint8_t type) {
    return type >= static_cast<std::uint8_t>(RecordType::Start) &&
           type <= static_cast<std::uint8_t>(RecordType::Cancel);
}

template <typename T>
void PutLittleEndian(std::uint8_t* at, T value) {
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

template <typename T>
T GetLittleEndian(const std::uint8_t* at) {
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) {
        value |= static_cast<T>(at[i]) << (8 * i);
    }
    return value;
}

bool Fail(std::string* error, const char* message) {
    if (error != nullptr) {
        *error = message;
    }
    return false;
}

}  // namespace

std::vector<std::uint8_t> EncodeRecord(const TransferRecord& record) {
    if (record.transferId == 0) {
        throw std::invalid_argument("CVFT transfer ID must not be zero");
    }
    if (record.payload.size() > kMaxPayloadSize) {
        throw std::invalid_argument("CVFT payload is too large");
    }
    const auto type = static_cast<std::uint8_t>(record.type);
    if (!IsValidType(type)) {
        throw std::invalid_argument("CVFT record type is invalid");
    }
    const std::size_t n = record.payload.size();
    std::vector<std::uint8_t> raw(kMinRawRecordSize + n);
    std::uint8_t* r = raw.data();
    std::memcpy(r + kMagicOffset, kRecordMagic.data(), kRecordMagic.size());
    r[kVersionOffset] = ProtocolVersion;
    r[kTypeOffset] = type;
    PutLittleEndian<std::uint16_t>(r + kReservedOffset, 0);
    PutLittleEndian(r + kTransferIdOffset, record.transferId);
    PutLittleEndian(r + kSequenceOffset, record.sequence);
    PutLittleEndian(r + kOffsetOffset, record.offset);
    PutLittleEndian(r + kValueOffset, record.value);
    PutLittleEndian(r + kPayloadLengthOffset, static_cast<std::uint32_t>(n));
    if (n > 0) {
        std::memcpy(r + kRecordHeaderSize, record.payload.data(), n);
    }
    PutLittleEndian(r + kRecordHeaderSize + n, Crc32Ieee(r, kRecordHeaderSize + n));

    const std::vector<std::uint8_t> cobs = CobsEncode(raw.data(), raw.size());
    std::vector<std::uint8_t> framed;
    framed.reserve(cobs.size() + 2);
    framed.push_back(kFrameDelimiter);
    framed.insert(framed.end(), cobs.begin(), cobs.end());
    framed.push_back(kFrameDelimiter);
    return framed;
}

bool DecodeRecord(const std::uint8_t* data, std::size_t size, TransferRecord& record,
                  std::string* error) {
    std::vector<std::uint8_t> raw;
    if (!CobsDecode(data, size, raw)) {
        return Fail(error, "invalid COBS data");
    }
    if (raw.size() < kMinRawRecordSize) {
        return Fail(error, "CVFT record is too short");
    }
    const std::uint8_t* r = raw.data();
    if (!std::equal(kRecordMagic.begin(), kRecordMagic.end(), r + kMagicOffset)) {
        return Fail(error, "CVFT magic does not match");
    }
    if (r[kVersionOffset] != ProtocolVersion || !IsValidType(r[kTypeOffset]) ||
        GetLittleEndian<std::uint16_t>(r + kReservedOffset) != 0) {
        return Fail(error, "CVFT header is invalid");
    }
    const std::uint32_t n = GetLittleEndian<std::uint32_t>(r + kPayloadLengthOffset);
    if (n > kMaxPayloadSize || raw.size() != kMinRawRecordSize + n) {
        return Fail(error, "CVFT payload length does not match");
    }
    const std::size_t crcOffset = kRecordHeaderSize + n;
    if (Crc32Ieee(r, crcOffset) != GetLittleEndian<std::uint32_t>(r + crcOffset)) {
        return Fail(error, "CVFT record CRC32 does not match");
    }
    record.type = static_cast<RecordType>(r[kTypeOffset]);
    record.transferId = GetLittleEndian<std::uint64_t>(r + kTransferIdOffset);
    record.sequence = GetLittleEndian<std::uint32_t>(r + kSequenceOffset);
    record.offset = GetLittleEndian<std::uint64_t>(r + kOffsetOffset);
    record.value = GetLittleEndian<std::uint32_t>(r + kValueOffset);
    record.payload.assign(r + kRecordHeaderSize, r + crcOffset);
    if (record.transferId == 0) {
        return Fail(error, "CVFT transfer ID is zero");
    }
    return true;
}

bool FramedPrefixEndsInsideRecord(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr && size > 0) {
        throw std::invalid_argument("CVFT framed prefix is null");
    }
    const std::size_t zeros =
        static_cast<std::size_t>(std::count(data, data + size, kFrameDelimiter));
    return zeros % 2 == 1;
}

}  // namespace cvfile
