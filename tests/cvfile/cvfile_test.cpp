#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "cvfile/cobs.h"
#include "cvfile/crc32.h"
#include "cvfile/record_codec.h"
#include "cvfile/stream_parser.h"
#include "cvfile/transfer_data.h"
#include "support/hostmode_wire.h"

namespace cvfile {
namespace {

using Bytes = std::vector<std::uint8_t>;
using corvina::testing::Join;

Bytes BytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// Deterministic pseudo-random bytes; with `nonZero` no byte is 0x00.
Bytes RandomBytes(std::size_t size, std::uint32_t seed, bool nonZero = false) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> byte(nonZero ? 1 : 0, 255);
    Bytes out(size);
    std::generate(out.begin(), out.end(), [&] { return static_cast<std::uint8_t>(byte(rng)); });
    return out;
}

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
std::string DecodeError(const Bytes& cobs) {
    TransferRecord record;
    std::string error;
    return DecodeRecord(cobs.data(), cobs.size(), record, &error) ? std::string() : error;
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
    EXPECT_THROW(Crc32Accumulator().Update(nullptr, 1), std::invalid_argument);
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
    // The CRC-32 trailer in little-endian order: the decoder accepts a trailer
    // so computed (the zero transfer ID case below gets past it).
    EXPECT_EQ(raw[40], 0x04);
}

// A broken field is named even where the CRC is broken too; the checks behind
// the CRC are reached with a recomputed trailer.
TEST(RecordCodec, DecodeNamesTheFirstFailedCheck) {
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
        {"magic, CRC broken too", CobsOf(with(7, 0x02), false), "CVFT magic does not match"},
        {"version 2, CRC broken too", CobsOf(with(8, 2), false), "CVFT header is invalid"},
        {"type 6", CobsOf(with(9, 6), true), "CVFT header is invalid"},
        {"reserved high byte", CobsOf(with(11, 0x80), true), "CVFT header is invalid"},
        {"length says 0", CobsOf(with(36, 0), true), "CVFT payload length does not match"},
        {"length 65,537", CobsOf(with(38, 1), true), "CVFT payload length does not match"},
        {"payload changed", CobsOf(with(40, 0x07), false), "CVFT record CRC32 does not match"},
        {"transfer id zero", CobsOf(zeroId, true), "CVFT transfer ID is zero"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DecodeError(c.cobs), c.error);
    }
}

TEST(RecordCodec, EncodeRefusesInvalidRecords) {
    TransferRecord zeroId = MakeRecord(RecordType::Data);
    zeroId.transferId = 0;
    for (const TransferRecord& record : {zeroId, MakeRecord(RecordType::Data, Bytes(65537)),
                                         MakeRecord(static_cast<RecordType>(6))}) {
        EXPECT_THROW(EncodeRecord(record), std::invalid_argument);
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
}

std::vector<StreamEventKind> Kinds(const std::vector<StreamEvent>& events) {
    std::vector<StreamEventKind> kinds(events.size());
    std::transform(events.begin(), events.end(), kinds.begin(), [](auto& e) { return e.kind; });
    return kinds;
}

constexpr auto kText = StreamEventKind::Text;
constexpr auto kRecord = StreamEventKind::Record;
constexpr auto kInvalid = StreamEventKind::Invalid;

TEST(StreamParser, TextRecordsAndBrokenOrOverlongRecordsComeOutInStreamOrder) {
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
    EXPECT_LE(EncodeRecord(largest).size(), 65841u);
    EXPECT_EQ(events[6].bytes, BytesOf("73"));
    EXPECT_THROW(parser.Push(nullptr, 1), std::invalid_argument);

    // A record too long to collect is dropped up to its closing delimiter.
    const Bytes overlong = Join({{0x00}, Bytes(70000, 0x41), {0x00}, BytesOf("after")});
    constexpr std::size_t kOverflowAt = 1 + kMaxCollectedRecordBytes;
    EXPECT_TRUE(parser.Push(overlong.data(), kOverflowAt).empty());
    EXPECT_EQ(Kinds(parser.Push(&overlong[kOverflowAt], 1)), std::vector{kInvalid});
    EXPECT_TRUE(parser.Discarding());
    const auto after = parser.Push(&overlong[kOverflowAt + 1], overlong.size() - kOverflowAt - 1);
    ASSERT_EQ(Kinds(after), std::vector{kText});
    EXPECT_EQ(after[0].bytes, BytesOf("after"));
    EXPECT_FALSE(parser.InRecord());
}

// A reader that starts (or slips) into the middle of a record stream loses at
// most the cut record: every later record is parsed, text shows once and at
// once, and a joined reader drops a tail that no text could be.
TEST(StreamParser, FindsEveryRecordAfterACutOne) {
    const Bytes cut = EncodeRecord(MakeRecord(RecordType::Data, RandomBytes(256, 3, true)));
    const Bytes head(cut.begin(), cut.end() - 60);
    const Bytes tail(cut.end() - 60, cut.end() - 1);
    const TransferRecord b = MakeRecord(RecordType::Start, BytesOf("b.bin"));
    const TransferRecord c = MakeRecord(RecordType::End);
    const Bytes lookalike = BytesOf(
        "\x0b"
        "CVFno");  // opens like a record body, is text
    const Bytes rest = Join({{0x00}, EncodeRecord(b), lookalike, EncodeRecord(c), BytesOf("73")});
    const auto text = [](Bytes bytes) { return StreamEvent{kText, std::move(bytes), {}}; };
    const auto record = [](TransferRecord r) { return StreamEvent{kRecord, {}, std::move(r)}; };
    const StreamEvent invalid{kInvalid, {}, {}};
    const std::vector following{record(b), text(lookalike), record(c), text(BytesOf("73"))};
    const auto after = [&](StreamEvent first) {
        std::vector events{std::move(first)};
        events.insert(events.end(), following.begin(), following.end());
        return events;
    };
    struct Case {
        const char* name;
        bool joined;
        std::vector<Bytes> pieces;
        std::vector<StreamEvent> expected;
    } cases[] = {
        {"joined on a record's tail", true, {Join({tail, rest})}, after(invalid)},
        {"joined on chat", true, {BytesOf("CQ de")}, {text(BytesOf("CQ de"))}},
        {"out of phase, a byte at a time", false, {}, after(text(tail))},
        {"tail never came", false, {head, Join({BytesOf("heard"), rest})}, after(invalid)},
    };
    for (std::uint8_t byte : Join({tail, rest})) {
        cases[2].pieces.push_back({byte});
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StreamParser parser;
        if (c.joined) {
            parser.JoinMidStream();
        }
        std::vector<StreamEvent> events;
        for (const Bytes& piece : c.pieces) {
            for (StreamEvent& e : parser.Push(piece.data(), piece.size())) {
                if (e.kind == kText && !events.empty() && events.back().kind == kText) {
                    events.back().bytes.insert(events.back().bytes.end(), e.bytes.begin(),
                                               e.bytes.end());
                } else {
                    events.push_back(std::move(e));
                }
            }
        }
        ASSERT_EQ(Kinds(events), Kinds(c.expected));
        for (std::size_t i = 0; i < events.size(); ++i) {
            EXPECT_EQ(events[i].bytes, c.expected[i].bytes) << i;
            EXPECT_EQ(events[i].record, c.expected[i].record) << i;
        }
    }
}

// Without zopfli (the Windows builds) the sender's stream is zlib's level 6.
#ifdef CORVINA_HAVE_ZOPFLI
constexpr double kStrongerThanLevel6 = 0.99;
#else
constexpr double kStrongerThanLevel6 = 1;
#endif

// English-like text that deflate shrinks to roughly a third.
Bytes SampleText(std::size_t size) {
    static constexpr std::string_view kWords[] = {
        "the ",  "modem ", "link ",       "station ",   "calls ", "a ",
        "file ", "over ",  "noisy ",      "shortwave ", "and ",   "waits ",
        "for ",  "an ",    "answer.\r\n", "fades ",     "again "};
    std::mt19937 rng(7);
    Bytes out;
    while (out.size() < size) {
        const auto word = kWords[rng() % std::size(kWords)];
        out.insert(out.end(), word.begin(), word.end());
    }
    out.resize(size);
    return out;
}

Bytes ZlibCompress(const Bytes& in, int level) {
    uLongf size = compressBound(static_cast<uLong>(in.size()));
    Bytes out(size);
    EXPECT_EQ(compress2(out.data(), &size, in.data(), static_cast<uLong>(in.size()), level), Z_OK);
    out.resize(size);
    return out;
}

// Only zlib at level 6 runs, or every encoder as long as it likes.
const CompressionLimits kLevel6Only{{}, kReferenceAirRate, 0};
const CompressionLimits kNoTimeLimit{{}, kReferenceAirRate, 1e9};

// Whatever encoder wins, plain zlib must read the stream, and it may never be
// longer than zlib's own level 6.
TEST(TransferData, StrongestStreamInflatesWithZlibAndBeatsLevelSix) {
    struct Case {
        const char* name;
        Bytes input;
        CompressionLimits limits;
        double mostOfLevel6;
    } cases[] = {
        {"short text", SampleText(700), kNoTimeLimit, 1},
        {"text over two parts", SampleText(160000), kNoTimeLimit, kStrongerThanLevel6},
        {"text within the default limit", SampleText(30000), CompressionLimits{}, 1},
        {"level 6 only", SampleText(30000), kLevel6Only, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto enc = EncodeTransferData(c.input.data(), c.input.size(), c.limits);
        ASSERT_EQ(enc.mode, CompressionMode::Zlib);
        EXPECT_LE(enc.bytes.size(), ZlibCompress(c.input, 6).size() * c.mostOfLevel6);
        uLongf size = static_cast<uLongf>(c.input.size());
        Bytes back(size);
        ASSERT_EQ(
            uncompress(back.data(), &size, enc.bytes.data(), static_cast<uLong>(enc.bytes.size())),
            Z_OK);
        EXPECT_EQ(back, c.input);
    }
}

// A stop request is asked at least once per MiB and ends the compression at
// once, whichever encoder is running when it comes.
TEST(TransferData, StopRequestEndsCompression) {
    const Bytes text = SampleText(4 << 20);
    int asked = 0;
    CompressionLimits counting = kLevel6Only;
    counting.stopRequested = [&asked] {
        ++asked;
        return false;
    };
    EXPECT_EQ(EncodeTransferData(text.data(), text.size(), counting).mode, CompressionMode::Zlib);
    EXPECT_GE(asked, 4);

    // Stops 4 and later come while zopfli runs, where it is built in.
    const std::vector<int> stops =
        kStrongerThanLevel6 < 1 ? std::vector<int>{1, 3, 5} : std::vector<int>{1, 3};
    for (const int stopAt : stops) {
        SCOPED_TRACE(stopAt);
        int calls = 0;
        CompressionLimits stopping = kNoTimeLimit;
        stopping.stopRequested = [&calls, stopAt] { return ++calls == stopAt; };
        EXPECT_THROW(EncodeTransferData(text.data(), 3 << 20, stopping), CompressionStopped);
        EXPECT_EQ(calls, stopAt);
    }
}

TEST(TransferData, DecodesAnExactStreamOfAnyLevelAndNothingElse) {
    const Bytes text = SampleText(20000);
    const Bytes stream = ZlibCompress(text, 6);
    const Bytes level9 = ZlibCompress(text, 9);
    Bytes decoded;
    EXPECT_TRUE(DecodeTransferData(CompressionMode::Zlib, level9.data(), level9.size(), text.size(),
                                   decoded));
    EXPECT_EQ(decoded, text);

    Bytes appended = stream;
    appended.push_back(0x00);
    const Bytes truncated(stream.begin(), stream.end() - 1);
    Bytes badTrailer = stream;
    badTrailer.back() ^= 0x01;
    const auto zlib = CompressionMode::Zlib;
    struct Case {
        const char* name;
        CompressionMode mode;
        Bytes data;
        std::uint64_t expectedSize;
    } cases[] = {
        {"size one short", zlib, stream, text.size() - 1},
        {"size one over", zlib, stream, text.size() + 1},
        {"byte appended", zlib, appended, text.size()},
        {"last byte missing", zlib, truncated, text.size()},
        {"checksum broken", zlib, badTrailer, text.size()},
        {"undefined mode 1", static_cast<CompressionMode>(1), stream, text.size()},
        {"plain size mismatch", CompressionMode::None, text, text.size() + 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes out{0xEE};
        EXPECT_FALSE(DecodeTransferData(c.mode, c.data.data(), c.data.size(), c.expectedSize, out));
        EXPECT_TRUE(out.empty());
    }
    EXPECT_FALSE(DecodeTransferData(CompressionMode::None, nullptr, 4, 4, decoded));
    EXPECT_TRUE(DecodeTransferData(CompressionMode::None, text.data(), 9, 9, decoded));
    EXPECT_EQ(decoded, Bytes(text.begin(), text.begin() + 9));
    EXPECT_THROW(EncodeTransferData(nullptr, 1), std::invalid_argument);
}

// A peer's announced size must stay within what the compressed data can hold;
// the transfer data fuzzer, under its allocation limit, checks that nothing is
// reserved for a size beyond it.
TEST(InflateBound, SizesBeyondWhatTheStreamCanHoldAreRefused) {
    // Runs of zeros are what deflate squeezes hardest (close to 1032:1).
    const Bytes zeros(16 << 20, 0x00);
    const EncodedTransferData enc = EncodeTransferData(zeros.data(), zeros.size());
    ASSERT_EQ(enc.mode, CompressionMode::Zlib);
    const std::uint64_t bound = MaxInflatedSize(enc.bytes.size());
    ASSERT_GE(bound, zeros.size());
    EXPECT_LT(bound, zeros.size() + zeros.size() / 50) << "bound is far looser than deflate";
    for (std::uint64_t expected : {bound, bound + 1, std::numeric_limits<std::uint64_t>::max()}) {
        Bytes out;
        EXPECT_FALSE(DecodeTransferData(CompressionMode::Zlib, enc.bytes.data(), enc.bytes.size(),
                                        expected, out))
            << expected;
    }
    EXPECT_EQ(MaxInflatedSize(std::numeric_limits<std::size_t>::max()),
              std::numeric_limits<std::uint64_t>::max());
}

}  // namespace
}  // namespace cvfile
