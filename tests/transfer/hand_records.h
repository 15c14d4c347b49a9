#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cvfile/cobs.h"
#include "cvfile/crc32.h"

namespace corvina::testing {

// A framed transfer record written out field by field in the test, without
// the codec under test: raw header (magic, version, type, reserved, id,
// sequence, offset, value, length, all little-endian), payload, CRC-32, then
// COBS between two 0x00. `corruptAt` flips one raw byte after the CRC was
// taken (no flip when it is past the end).
struct HandRecord {
    std::uint8_t type = 2;
    std::uint64_t id = 1;
    std::uint32_t sequence = 0;
    std::uint64_t offset = 0;
    std::uint32_t value = 0;
    std::vector<std::uint8_t> payload;
    std::size_t corruptAt = SIZE_MAX;

    std::vector<std::uint8_t> Framed() const {
        std::vector<std::uint8_t> raw = {'C', 'V', 'F', 'T', 0x0D, 0x0A, 0x1A, 0x01, 1, type, 0, 0};
        auto put = [&raw](std::uint64_t v, int bytes) {
            for (int i = 0; i < bytes; ++i) {
                raw.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
            }
        };
        put(id, 8);
        put(sequence, 4);
        put(offset, 8);
        put(value, 4);
        put(payload.size(), 4);
        raw.insert(raw.end(), payload.begin(), payload.end());
        put(cvfile::Crc32Ieee(raw.data(), raw.size()), 4);
        if (corruptAt < raw.size()) {
            raw[corruptAt] ^= 0x40;
        }
        std::vector<std::uint8_t> framed = {0};
        const auto cobs = cvfile::CobsEncode(raw.data(), raw.size());
        framed.insert(framed.end(), cobs.begin(), cobs.end());
        framed.push_back(0);
        return framed;
    }
};

inline std::vector<std::uint8_t> Concat(const std::vector<HandRecord>& records) {
    std::vector<std::uint8_t> stream;
    for (const HandRecord& record : records) {
        const auto framed = record.Framed();
        stream.insert(stream.end(), framed.begin(), framed.end());
    }
    return stream;
}

// Start, 256-byte Data chunks of `content` (uncompressed) and End.
inline std::vector<HandRecord> PlainTransfer(std::uint64_t id, const std::string& name,
                                             const std::vector<std::uint8_t>& content) {
    const std::uint32_t crc = cvfile::Crc32Ieee(content.data(), content.size());
    std::vector<HandRecord> records;
    records.push_back({1, id, 0, content.size(), crc, {name.begin(), name.end()}});
    std::uint32_t k = 0;
    for (std::size_t p = 0; p < content.size(); p += 256) {
        const std::size_t n = std::min<std::size_t>(256, content.size() - p);
        records.push_back({2, id, ++k, p, 0, {content.begin() + p, content.begin() + p + n}});
    }
    records.push_back({3, id, k + 1, content.size(), crc, {}});
    return records;
}

}  // namespace corvina::testing
