#include "cvfile/stream_parser.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "cvfile/record_codec.h"
#include "cvfile/record_test_util.h"

namespace cvfile {
namespace {

using namespace cvfile::testing;

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

std::vector<StreamEvent> PushAll(StreamParser& parser, const Bytes& bytes) {
    return parser.Push(bytes.data(), bytes.size());
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

TEST(StreamParser, TextAndEmptyFramesPassThrough) {
    StreamParser parser;
    EXPECT_TRUE(parser.Push(nullptr, 0).empty());
    for (const char* text : {"hello", " world\r\n"}) {
        const auto events = PushAll(parser, BytesOf(text));
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].bytes, BytesOf(text));
    }
    const auto events = PushAll(parser, Bytes{0x00, 0x00, 'x', 'y'});
    ASSERT_EQ(Kinds(events), std::vector{kText});
    EXPECT_EQ(events[0].bytes, BytesOf("xy"));
    EXPECT_THROW(parser.Push(nullptr, 1), std::invalid_argument);
}

TEST(StreamParser, OverlongRecordIsDroppedUpToTheNextDelimiter) {
    const Bytes stream = Join({{0x00}, Bytes(70000, 0x41), {0x00}, BytesOf("after")});
    // The 65,841st collected byte is at stream index 65,841.
    constexpr std::size_t kOverflowAt = 1 + kMaxCollectedRecordBytes;
    StreamParser parser;
    EXPECT_TRUE(parser.Push(stream.data(), kOverflowAt).empty());
    EXPECT_EQ(Kinds(parser.Push(&stream[kOverflowAt], 1)), std::vector{kInvalid});
    EXPECT_TRUE(parser.Discarding());
    const auto rest = parser.Push(&stream[kOverflowAt + 1], stream.size() - kOverflowAt - 1);
    ASSERT_EQ(Kinds(rest), std::vector{kText});
    EXPECT_EQ(rest[0].bytes, BytesOf("after"));
    EXPECT_FALSE(parser.InRecord());
}

TEST(StreamParser, LargestLegalRecordFitsTheCollectionLimit) {
    const TransferRecord record =
        MakeRecord(RecordType::Data, RandomBytes(kMaxPayloadSize, 12, true));
    StreamParser parser;
    const auto events = PushAll(parser, EncodeRecord(record));
    ASSERT_EQ(Kinds(events), std::vector{kRecord});
    EXPECT_EQ(events[0].record, record);
}

TEST(StreamParser, ResetForgetsAPartialRecord) {
    const Bytes framed = EncodeRecord(MakeRecord(RecordType::Cancel));
    StreamParser parser;
    parser.Push(framed.data(), framed.size() / 2);
    ASSERT_TRUE(parser.InRecord());
    parser.Reset();
    const auto events = PushAll(parser, BytesOf("fresh"));
    ASSERT_EQ(Kinds(events), std::vector{kText});
    EXPECT_EQ(events[0].bytes, BytesOf("fresh"));
}

TEST(StreamParser, TextRecordsAndBrokenRecordsComeOutInStreamOrder) {
    Bytes broken = EncodeRecord(MakeRecord(RecordType::Result, {0x02}));
    broken[5] ^= 0x01;
    const TransferRecord start = MakeRecord(RecordType::Start, BytesOf("log.txt"));
    const Bytes stream = Join({BytesOf("CQ CQ"),
                               EncodeRecord(start),
                               {0x00, 0x00},
                               BytesOf("de station"),
                               broken,
                               EncodeRecord(MakeRecord(RecordType::Data, RandomBytes(4096, 13))),
                               EncodeRecord(MakeRecord(RecordType::End)),
                               BytesOf("73")});
    StreamParser parser;
    const auto whole = PushAll(parser, stream);
    ASSERT_EQ(Kinds(whole),
              (std::vector{kText, kRecord, kText, kInvalid, kRecord, kRecord, kText}));
    EXPECT_EQ(whole[0].bytes, BytesOf("CQ CQ"));
    EXPECT_EQ(whole[1].record, start);
    EXPECT_TRUE(whole[1].bytes.empty());
    EXPECT_EQ(whole[2].bytes, BytesOf("de station"));  // empty frames between pass silently

    // Byte by byte: text does not carry over between calls, so join it again.
    StreamParser single;
    std::vector<StreamEvent> pieces;
    for (const std::uint8_t byte : stream) {
        for (StreamEvent& e : single.Push(&byte, 1)) {
            if (e.kind == kText && !pieces.empty() && pieces.back().kind == kText) {
                pieces.back().bytes.insert(pieces.back().bytes.end(), e.bytes.begin(),
                                           e.bytes.end());
            } else {
                pieces.push_back(std::move(e));
            }
        }
    }
    ASSERT_EQ(pieces.size(), whole.size());
    for (std::size_t i = 0; i < whole.size(); ++i) {
        EXPECT_EQ(pieces[i].bytes, whole[i].bytes);
        EXPECT_EQ(pieces[i].record, whole[i].record);
    }
}

}  // namespace
}  // namespace cvfile
