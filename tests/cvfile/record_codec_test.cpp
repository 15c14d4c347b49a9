#include "cvfile/record_codec.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "cvfile/record_test_util.h"

namespace cvfile {
namespace {

using namespace cvfile::testing;

TEST(RecordCodec, RoundTripsEveryTypeAndPayloadSize) {
    struct Case {
        const char* name;
        TransferRecord record;
    } cases[] = {
        {"start", MakeRecord(RecordType::Start, BytesOf("report.pdf"))},
        {"data", MakeRecord(RecordType::Data, RandomBytes(256, 5))},
        {"end", MakeRecord(RecordType::End)},
        {"result", MakeRecord(RecordType::Result, {0x00})},
        {"cancel", MakeRecord(RecordType::Cancel)},
        {"largest payload", MakeRecord(RecordType::Data, RandomBytes(kMaxPayloadSize, 6, true))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes framed = EncodeRecord(c.record);
        EXPECT_EQ(RawOf(framed).size(), kMinRawRecordSize + c.record.payload.size());
        EXPECT_LE(framed.size(), 65841u);
        TransferRecord back;
        std::string error = "untouched";
        ASSERT_TRUE(DecodeRecord(framed.data() + 1, framed.size() - 2, back, &error));
        EXPECT_EQ(back, c.record);
        EXPECT_EQ(error, "untouched");
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
    Bytes lengthTooBig = raw;
    lengthTooBig[38] = 0x01;  // 65,537
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
        {"length above limit", CobsOf(lengthTooBig, true), "CVFT payload length does not match"},
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
    TransferRecord tooBigAndBadType = MakeRecord(static_cast<RecordType>(0), Bytes(65537));
    struct Case {
        const char* name;
        TransferRecord record;
        const char* error;
    } cases[] = {
        {"zero id first", zeroIdAndTooBig, "CVFT transfer ID must not be zero"},
        {"payload before type", tooBigAndBadType, "CVFT payload is too large"},
        {"type 0", MakeRecord(static_cast<RecordType>(0)), "CVFT record type is invalid"},
        {"type 6", MakeRecord(static_cast<RecordType>(6)), "CVFT record type is invalid"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            EncodeRecord(c.record);
            ADD_FAILURE() << "no exception";
        } catch (const std::invalid_argument& e) {
            EXPECT_STREQ(e.what(), c.error);
        }
    }
}

TEST(RecordCodec, FramedPrefixIsInsideExactlyBetweenDelimiters) {
    const Bytes a = EncodeRecord(MakeRecord(RecordType::Start, BytesOf("a")));
    const Bytes b = EncodeRecord(MakeRecord(RecordType::End));
    Bytes stream = a;
    stream.insert(stream.end(), b.begin(), b.end());
    for (std::size_t n = 0; n <= stream.size(); ++n) {
        SCOPED_TRACE(n);
        const bool insideA = n > 0 && n < a.size();
        const bool insideB = n > a.size() && n < stream.size();
        EXPECT_EQ(FramedPrefixEndsInsideRecord(stream.data(), n), insideA || insideB);
    }
    EXPECT_FALSE(FramedPrefixEndsInsideRecord(nullptr, 0));
    EXPECT_THROW(FramedPrefixEndsInsideRecord(nullptr, 1), std::invalid_argument);
}

TEST(ResultWords, NameEveryCodeAndFallBackForUnknownBytes) {
    EXPECT_EQ(ResultWord(ResultCode::CrcOk), "CRC OK");
    EXPECT_EQ(ResultWord(ResultCode::CrcError), "CRC ERROR");
    EXPECT_EQ(ResultWord(ResultCode::ProtocolError), "PROTOCOL ERROR");
    EXPECT_EQ(ResultWord(ResultCode::FileError), "FILE ERROR");
    EXPECT_EQ(ResultWord(ResultCode::Rejected), "REJECTED");
    EXPECT_EQ(ResultWord(ResultCode::Cancelled), "CANCELLED");
    EXPECT_EQ(ResultWord(std::uint8_t{6}), "ERROR");
}

}  // namespace
}  // namespace cvfile
