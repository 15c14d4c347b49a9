#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "cvfile/cobs.h"
#include "cvfile/crc32.h"
#include "cvfile/record_codec.h"
#include "cvfile/test_bytes.h"

namespace cvfile::testing {

inline TransferRecord MakeRecord(RecordType type, Bytes payload = {}) {
    TransferRecord r;
    r.type = type;
    r.transferId = 0x1122334455667788ull;
    r.sequence = 0xA1B2C3D4u;
    r.offset = 0x0102030405060708ull;
    r.value = 0xCAFEBABEu;
    r.payload = std::move(payload);
    return r;
}

// The raw record inside a framed one.
inline Bytes RawOf(const Bytes& framed) {
    Bytes raw;
    EXPECT_TRUE(framed.size() >= 2 && framed.front() == 0 && framed.back() == 0);
    EXPECT_TRUE(CobsDecode(framed.data() + 1, framed.size() - 2, raw));
    return raw;
}

// COBS text of a raw record, optionally with its trailer recomputed so that
// the checks behind the CRC are reached.
inline Bytes CobsOf(Bytes raw, bool fixCrc) {
    if (fixCrc && raw.size() >= 4) {
        const std::uint32_t crc = Crc32Ieee(raw.data(), raw.size() - 4);
        for (int i = 0; i < 4; ++i) {
            raw[raw.size() - 4 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
        }
    }
    return CobsEncode(raw.data(), raw.size());
}

inline Bytes FrameOf(const Bytes& cobs) {
    Bytes framed{0x00};
    framed.insert(framed.end(), cobs.begin(), cobs.end());
    framed.push_back(0x00);
    return framed;
}

// The message DecodeRecord gives for `cobs`, or "" when it succeeds.
inline std::string DecodeError(const Bytes& cobs, TransferRecord* out = nullptr) {
    TransferRecord record;
    std::string error;
    const bool ok = DecodeRecord(cobs.data(), cobs.size(), record, &error);
    if (out != nullptr) {
        *out = record;
    }
    return ok ? std::string() : error;
}

}  // namespace cvfile::testing
