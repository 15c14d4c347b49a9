#include "cvfile/cobs.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "cvfile/test_bytes.h"

namespace cvfile {
namespace {

using testing::Bytes;

Bytes Encode(const Bytes& in) {
    return CobsEncode(in.data(), in.size());
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

TEST(Cobs, WorkedExamplesEncodeAndDecodeBothWays) {
    const Bytes run254(254, 0x11);
    struct Case {
        const char* name;
        Bytes plain;
        Bytes encoded;
    } cases[] = {
        {"empty", {}, {0x01}},
        {"single zero", {0x00}, {0x01, 0x01}},
        {"zero inside", {0x11, 0x22, 0x00, 0x33}, {0x03, 0x11, 0x22, 0x02, 0x33}},
        {"full run of 254", run254, Concat({{0xFF}, run254, {0x01}})},
        {"full run then zero", Concat({run254, {0x00}}), Concat({{0xFF}, run254, {0x01, 0x01}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Encode(c.plain), c.encoded);
        Bytes decoded{0xEE};
        EXPECT_TRUE(CobsDecode(c.encoded.data(), c.encoded.size(), decoded));
        EXPECT_EQ(decoded, c.plain);
    }
}

TEST(Cobs, DecodeRefusesMalformedInputAndLeavesOutputEmpty) {
    struct Case {
        const char* name;
        Bytes encoded;
    } cases[] = {
        {"empty", {}},
        {"zero code", {0x00}},
        {"zero as later code", {0x02, 0x11, 0x00, 0x22}},
        // A 0x00 can never appear in valid COBS, not even inside a group.
        {"zero inside group", {0x04, 0x11, 0x00, 0x22}},
        {"zero at end of full group", Concat({{0xFF}, Bytes(253, 0x11), {0x00}})},
        {"group longer than input", {0x05, 0x11, 0x22}},
        {"second group longer than input", {0x02, 0x11, 0x03, 0x22}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes decoded{0xEE};
        EXPECT_FALSE(CobsDecode(c.encoded.data(), c.encoded.size(), decoded));
        EXPECT_TRUE(decoded.empty());
    }
    Bytes decoded;
    EXPECT_FALSE(CobsDecode(nullptr, 3, decoded));
}

TEST(Cobs, EncodeRefusesNullWithLength) {
    EXPECT_EQ(CobsEncode(nullptr, 0), Bytes{0x01});
    try {
        CobsEncode(nullptr, 2);
        FAIL() << "no exception";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "COBS input is null");
    }
}

}  // namespace
}  // namespace cvfile
