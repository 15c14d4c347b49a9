// Records on the wire: checksum, COBS, the record layout and the stream that
// mixes records with plain text.

#include <gtest/gtest.h>
#include <zlib.h>

#include <stdexcept>
#include <string>

#include "cvfile/cobs.h"
#include "cvfile/crc32.h"
#include "cvfile/record_codec.h"
#include "cvfile/stream_parser.h"
#include "cvfile/test_bytes.h"

namespace cvfile {
namespace {

using namespace cvfile::testing;

TransferRecord MakeRecord(RecordType type, Bytes payload = {}) {
    return TransferRecord{type,        0x1122334455667788ull, 0xA1B2C3D4u, 0x0102030405060708ull,
                          0xCAFEBABEu, std::move(payload)};
}

// The raw record inside a framed one.
Bytes RawOf(const Bytes& framed) {
    Bytes raw;
    EXPECT_TRUE(framed.size() >= 2 && framed.front() == 0 && framed.back() == 0);
    EXPECT_TRUE(CobsDecode(framed.data() + 1, framed.size() - 2, raw));
    return raw;
}

// COBS text of a raw record, optionally with its trailer recomputed so that
// the checks behind the CRC are reached.
Bytes CobsOf(Bytes raw, bool fixCrc) {
    if (fixCrc) {
        const std::uint32_t crc = Crc32Ieee(raw.data(), raw.size() - 4);
        for (int i = 0; i < 4; ++i) {
            raw[raw.size() - 4 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
        }
    }
    return CobsEncode(raw.data(), raw.size());
}

// The message DecodeRecord gives for `cobs`, or "" when it succeeds.
std::string DecodeError(const Bytes& cobs, TransferRecord* out = nullptr) {
    TransferRecord record;
    std::string error;
    const bool ok = DecodeRecord(cobs.data(), cobs.size(), record, &error);
    if (out != nullptr) {
        *out = record;
    }
    return ok ? std::string() : error;
}

TEST(Crc32, CheckValueAndAgreementWithZlib) {
    const Bytes digits = BytesOf("123456789");
    EXPECT_EQ(Crc32Ieee(digits.data(), digits.size()), 0xCBF43926u);
    EXPECT_EQ(Crc32Ieee(nullptr, 0), 0u);
    for (std::size_t size : {1u, 3u, 256u, 65580u}) {
        const Bytes data = RandomBytes(size, static_cast<std::uint32_t>(size));
        EXPECT_EQ(Crc32Ieee(data.data(), data.size()),
                  crc32(0, data.data(), static_cast<uInt>(data.size())))
            << size;
    }
    Crc32Accumulator crc;
    crc.Update(digits.data(), digits.size());
    crc.Reset();
    crc.Update(nullptr, 0);
    EXPECT_EQ(crc.Value(), 0u);
    EXPECT_THROW(crc.Update(nullptr, 1), std::invalid_argument);
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

TEST(Cobs, WorkedExamplesBothWaysAndMalformedInputRefused) {
    const Bytes run254(254, 0x11);
    struct Case {
        const char* name;
        Bytes plain;
        Bytes encoded;
    } cases[] = {
        {"empty", {}, {0x01}},
        {"single zero", {0x00}, {0x01, 0x01}},
        {"zero inside", {0x11, 0x22, 0x00, 0x33}, {0x03, 0x11, 0x22, 0x02, 0x33}},
        {"full run of 254", run254, Join({{0xFF}, run254, {0x01}})},
        {"full run then zero", Join({run254, {0x00}}), Join({{0xFF}, run254, {0x01, 0x01}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CobsEncode(c.plain.data(), c.plain.size()), c.encoded);
        Bytes decoded{0xEE};
        EXPECT_TRUE(CobsDecode(c.encoded.data(), c.encoded.size(), decoded));
        EXPECT_EQ(decoded, c.plain);
    }
    const Bytes malformed[] = {
        {},
        {0x00},
        {0x02, 0x11, 0x00, 0x22},  // zero as a later code
        {0x04, 0x11, 0x00, 0x22},  // zero inside a group
        Join({{0xFF}, Bytes(253, 0x11), {0x00}}),
        {0x05, 0x11, 0x22},        // group longer than the input
        {0x02, 0x11, 0x03, 0x22},  // second group too
    };
    for (const Bytes& encoded : malformed) {
        Bytes decoded{0xEE};
        EXPECT_FALSE(CobsDecode(encoded.data(), encoded.size(), decoded)) << encoded.size();
        EXPECT_TRUE(decoded.empty());
    }
    Bytes decoded;
    EXPECT_FALSE(CobsDecode(nullptr, 3, decoded));
    EXPECT_EQ(CobsEncode(nullptr, 0), Bytes{0x01});
    EXPECT_THROW(CobsEncode(nullptr, 2), std::invalid_argument);
}

TEST(RecordCodec, RoundTripsEveryTypeUpToTheLargestPayload) {
    for (const TransferRecord& record :
         {MakeRecord(RecordType::Start, BytesOf("report.pdf")),
          MakeRecord(RecordType::Data, RandomBytes(256, 5)), MakeRecord(RecordType::End),
          MakeRecord(RecordType::Result, {0x00}), MakeRecord(RecordType::Cancel),
          MakeRecord(RecordType::Data, RandomBytes(kMaxPayloadSize, 6, true))}) {
        SCOPED_TRACE(record.payload.size());
        const Bytes framed = EncodeRecord(record);
        EXPECT_EQ(RawOf(framed).size(), kMinRawRecordSize + record.payload.size());
        EXPECT_LE(framed.size(), 65841u);
        TransferRecord back;
        ASSERT_TRUE(DecodeRecord(framed.data() + 1, framed.size() - 2, back));
        EXPECT_EQ(back, record);
    }
}

TEST(RecordCodec, WritesTheLittleEndianLayout) {
    const Bytes raw = RawOf(EncodeRecord(MakeRecord(RecordType::Result, {0x04})));
    const Bytes expectedHeader = {
        'C',  'V',  'F',  'T',  0x0D, 0x0A, 0x1A, 0x01,  // magic
        0x01, 0x04, 0x00, 0x00,                          // version, type, reserved
        0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11,  // transferId
        0xD4, 0xC3, 0xB2, 0xA1,                          // sequence
        0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01,  // offset
        0xBE, 0xBA, 0xFE, 0xCA,                          // value
        0x01, 0x00, 0x00, 0x00,                          // payload length
    };
    ASSERT_EQ(raw.size(), 45u);
    EXPECT_EQ(Bytes(raw.begin(), raw.begin() + 40), expectedHeader);
    EXPECT_EQ(raw[40], 0x04);
    const std::uint32_t crc = Crc32Ieee(raw.data(), 41);
    EXPECT_EQ(Bytes(raw.begin() + 41, raw.end()),
              (Bytes{static_cast<std::uint8_t>(crc), static_cast<std::uint8_t>(crc >> 8),
                     static_cast<std::uint8_t>(crc >> 16), static_cast<std::uint8_t>(crc >> 24)}));
}

// Which check a single flipped bit of a Cancel record trips.
std::string ExpectedErrorForFlip(const Bytes& flipped, std::size_t byte) {
    if (byte < 8) {
        return "CVFT magic does not match";
    }
    const bool typeOk = flipped[9] >= 1 && flipped[9] <= 5;
    if (byte == 8 || byte == 10 || byte == 11 || (byte == 9 && !typeOk)) {
        return "CVFT header is invalid";
    }
    if (byte >= 36 && byte < 40) {
        return "CVFT payload length does not match";
    }
    return "CVFT record CRC32 does not match";
}

TEST(RecordCodec, EveryFlippedBitOfACancelRecordIsCaught) {
    const Bytes raw = RawOf(EncodeRecord(MakeRecord(RecordType::Cancel)));
    ASSERT_EQ(raw.size(), 44u);
    ASSERT_EQ(DecodeError(CobsOf(raw, false)), "");
    for (std::size_t bit = 0; bit < raw.size() * 8; ++bit) {
        SCOPED_TRACE(bit);
        Bytes flipped = raw;
        flipped[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        EXPECT_EQ(DecodeError(CobsOf(flipped, false)), ExpectedErrorForFlip(flipped, bit / 8));
    }
}

TEST(RecordCodec, ChecksBehindTheCrcCatchFieldsWithAValidTrailer) {
    const Bytes raw = RawOf(EncodeRecord(MakeRecord(RecordType::Result, {0x01})));
    auto with = [&](std::size_t at, std::uint8_t v) {
        Bytes r = raw;
        r[at] = v;
        return r;
    };
    Bytes zeroId = raw;
    std::fill(zeroId.begin() + 12, zeroId.begin() + 20, 0);
    const Bytes shortRaw(raw.begin(), raw.begin() + 43);
    struct Case {
        const char* name;
        Bytes cobs;
        std::string error;
    } cases[] = {
        {"not COBS", {0x05, 0x11}, "invalid COBS data"},
        {"43 bytes", CobsOf(shortRaw, false), "CVFT record is too short"},
        {"version 2", CobsOf(with(8, 2), true), "CVFT header is invalid"},
        {"type 0", CobsOf(with(9, 0), true), "CVFT header is invalid"},
        {"type 6", CobsOf(with(9, 6), true), "CVFT header is invalid"},
        {"reserved high byte", CobsOf(with(11, 0x80), true), "CVFT header is invalid"},
        {"length says 0", CobsOf(with(36, 0), true), "CVFT payload length does not match"},
        {"length says 2", CobsOf(with(36, 2), true), "CVFT payload length does not match"},
        {"length 65,537", CobsOf(with(38, 1), true), "CVFT payload length does not match"},
        {"payload changed", CobsOf(with(40, 0x07), false), "CVFT record CRC32 does not match"},
        {"transfer id zero", CobsOf(zeroId, true), "CVFT transfer ID is zero"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DecodeError(c.cobs), c.error);
    }
    TransferRecord filled;
    DecodeError(CobsOf(zeroId, true), &filled);
    EXPECT_EQ(filled.type, RecordType::Result);
    EXPECT_EQ(filled.payload, Bytes{0x01});
    TransferRecord ignored;
    EXPECT_FALSE(DecodeRecord(shortRaw.data(), shortRaw.size(), ignored));
}

TEST(RecordCodec, EncodeRefusesInvalidRecordsInOrder) {
    TransferRecord zeroIdAndTooBig = MakeRecord(RecordType::Data, Bytes(kMaxPayloadSize + 1));
    zeroIdAndTooBig.transferId = 0;
    struct Case {
        TransferRecord record;
        const char* error;
    } cases[] = {
        {zeroIdAndTooBig, "CVFT transfer ID must not be zero"},
        {MakeRecord(static_cast<RecordType>(0), Bytes(65537)), "CVFT payload is too large"},
        {MakeRecord(static_cast<RecordType>(0)), "CVFT record type is invalid"},
        {MakeRecord(static_cast<RecordType>(6)), "CVFT record type is invalid"},
    };
    for (const auto& c : cases) {
        try {
            EncodeRecord(c.record);
            ADD_FAILURE() << "no exception for " << c.error;
        } catch (const std::invalid_argument& e) {
            EXPECT_STREQ(e.what(), c.error);
        }
    }
}

TEST(RecordCodec, FramedPrefixIsInsideExactlyBetweenDelimiters) {
    const Bytes a = EncodeRecord(MakeRecord(RecordType::Start, BytesOf("a")));
    const Bytes stream = Join({a, EncodeRecord(MakeRecord(RecordType::End))});
    for (std::size_t n = 0; n <= stream.size(); ++n) {
        const bool insideA = n > 0 && n < a.size();
        const bool insideB = n > a.size() && n < stream.size();
        EXPECT_EQ(FramedPrefixEndsInsideRecord(stream.data(), n), insideA || insideB) << n;
    }
    EXPECT_FALSE(FramedPrefixEndsInsideRecord(nullptr, 0));
    EXPECT_THROW(FramedPrefixEndsInsideRecord(nullptr, 1), std::invalid_argument);
}

TEST(ResultWords, NameEveryCodeAndFallBackForUnknownBytes) {
    const char* words[] = {"CRC OK",   "CRC ERROR", "PROTOCOL ERROR", "FILE ERROR",
                           "REJECTED", "CANCELLED", "ERROR"};
    for (std::uint8_t code = 0; code < std::size(words); ++code) {
        EXPECT_EQ(ResultWord(code), words[code]);
    }
    EXPECT_EQ(ResultWord(ResultCode::Cancelled), "CANCELLED");
}

std::vector<StreamEventKind> Kinds(const std::vector<StreamEvent>& events) {
    std::vector<StreamEventKind> kinds;
    for (const auto& e : events) {
        kinds.push_back(e.kind);
    }
    return kinds;
}

constexpr auto kText = StreamEventKind::Text;
constexpr auto kRecord = StreamEventKind::Record;
constexpr auto kInvalid = StreamEventKind::Invalid;

TEST(StreamParser, TextRecordsAndBrokenRecordsComeOutInStreamOrder) {
    Bytes broken = EncodeRecord(MakeRecord(RecordType::Result, {0x02}));
    broken[5] ^= 0x01;
    const TransferRecord start = MakeRecord(RecordType::Start, BytesOf("log.txt"));
    const TransferRecord largest =
        MakeRecord(RecordType::Data, RandomBytes(kMaxPayloadSize, 12, true));
    const Bytes head = Join({BytesOf("CQ CQ"), EncodeRecord(start)});
    const Bytes stream = Join({head,
                               {0x00, 0x00},
                               BytesOf("de station"),
                               broken,
                               EncodeRecord(largest),
                               EncodeRecord(MakeRecord(RecordType::End)),
                               BytesOf("73")});
    StreamParser parser;
    EXPECT_TRUE(parser.Push(nullptr, 0).empty());
    // Split right after a record's closing delimiter.
    auto events = parser.Push(stream.data(), head.size());
    const auto rest = parser.Push(stream.data() + head.size(), stream.size() - head.size());
    events.insert(events.end(), rest.begin(), rest.end());
    ASSERT_EQ(Kinds(events),
              (std::vector{kText, kRecord, kText, kInvalid, kRecord, kRecord, kText}));
    EXPECT_EQ(events[0].bytes, BytesOf("CQ CQ"));
    EXPECT_EQ(events[1].record, start);
    EXPECT_TRUE(events[1].bytes.empty());
    EXPECT_EQ(events[2].bytes, BytesOf("de station"));  // empty frames between pass silently
    EXPECT_EQ(events[4].record, largest);  // the largest record fits the collection limit
    EXPECT_EQ(events[6].bytes, BytesOf("73"));
    EXPECT_THROW(parser.Push(nullptr, 1), std::invalid_argument);
}

TEST(StreamParser, OverlongRecordIsDroppedUpToTheNextDelimiter) {
    const Bytes stream = Join({{0x00}, Bytes(70000, 0x41), {0x00}, BytesOf("after")});
    constexpr std::size_t kOverflowAt = 1 + kMaxCollectedRecordBytes;
    StreamParser parser;
    EXPECT_TRUE(parser.Push(stream.data(), kOverflowAt).empty());
    EXPECT_EQ(Kinds(parser.Push(&stream[kOverflowAt], 1)), std::vector{kInvalid});
    EXPECT_TRUE(parser.Discarding());
    const auto rest = parser.Push(&stream[kOverflowAt + 1], stream.size() - kOverflowAt - 1);
    ASSERT_EQ(Kinds(rest), std::vector{kText});
    EXPECT_EQ(rest[0].bytes, BytesOf("after"));
    EXPECT_FALSE(parser.InRecord());

    // Reset forgets a partial record.
    const Bytes framed = EncodeRecord(MakeRecord(RecordType::Cancel));
    parser.Push(framed.data(), framed.size() / 2);
    ASSERT_TRUE(parser.InRecord());
    parser.Reset();
    const auto fresh = parser.Push(stream.data() + stream.size() - 5, 5);
    ASSERT_EQ(Kinds(fresh), std::vector{kText});
    EXPECT_EQ(fresh[0].bytes, BytesOf("after"));
}

}  // namespace
}  // namespace cvfile
