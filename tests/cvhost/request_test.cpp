#include "cvhost/request.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>

#include "cvhost/crc16.h"
#include "cvhost/test_bytes.h"

namespace cvhost {
namespace {

using testing::Ascii;
using testing::Bytes;
using testing::Hex;
using testing::ToHex;

TEST(BuildRequest, ProducesTheKnownWireBytes) {
    struct Case {
        const char* name;
        std::uint8_t channel;
        bool command, sequenceBit, sequenceStart;
        Bytes payload;
        const char* wire;
    };
    const Case cases[] = {
        {"G on 255", 255, true, false, false, Ascii("G"), "AA AA FF 01 00 47 6B 55"},
        {"G on 255, sequence start", 255, true, false, true, Ascii("G"), "AA AA FF 41 00 47 1D 53"},
        {"G 3 on 254, sequence bit", 254, true, true, false, Ascii("G 3"),
         "AA AA FE 81 02 47 20 33 B1 1C"},
        {"data AA on 4, stuffed", 4, false, false, false, Hex("AA"), "AA AA 04 00 00 AA 00 62 84"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ToHex(BuildRequest(c.channel, c.command, c.sequenceBit, c.sequenceStart,
                                     c.payload.data(), c.payload.size())),
                  ToHex(Hex(c.wire)));
    }
}

// Undoes the stuffing of everything after the start bytes; fails the test on a
// 0xAA that is not followed by 0x00.
Bytes Unstuff(const Bytes& wire) {
    EXPECT_GE(wire.size(), 2u);
    Bytes body;
    for (std::size_t i = 2; i < wire.size(); ++i) {
        body.push_back(wire[i]);
        if (wire[i] == 0xAA) {
            EXPECT_TRUE(i + 1 < wire.size() && wire[i + 1] == 0x00) << "unstuffed AA at " << i;
            ++i;
        }
    }
    return body;
}

TEST(BuildRequest, StuffsEveryAaAfterTheStartAndFramesAnyPayload) {
    std::mt19937 rng(11);
    int crcBytesStuffed = 0;
    for (int round = 0; round < 1000; ++round) {
        const std::size_t size = 1 + rng() % 256;
        Bytes payload(size);
        for (auto& b : payload) {
            // Plenty of 0xAA so channel, payload and CRC bytes all meet it.
            b = (rng() % 4 == 0) ? 0xAA : static_cast<std::uint8_t>(rng());
        }
        const auto channel = static_cast<std::uint8_t>(round % 3 == 0 ? 0xAA : rng());
        SCOPED_TRACE("round " + std::to_string(round));
        const bool command = round & 1, sequenceBit = round & 2, sequenceStart = round & 4;
        const Bytes wire = BuildRequest(channel, command, sequenceBit, sequenceStart, payload);
        ASSERT_EQ(wire[0], 0xAA);
        ASSERT_EQ(wire[1], 0xAA);
        EXPECT_GE(wire.size(), size + 7);
        EXPECT_LE(wire.size(), 2 * (size + 5) + 2);

        const Bytes body = Unstuff(wire);
        ASSERT_EQ(body.size(), size + 5);
        EXPECT_EQ(body[0], channel);
        EXPECT_EQ(body[1],
                  (command ? 0x01 : 0) | (sequenceBit ? 0x80 : 0) | (sequenceStart ? 0x40 : 0));
        EXPECT_EQ(body[2], size - 1);
        EXPECT_EQ(Bytes(body.begin() + 3, body.end() - 2), payload);
        const std::uint16_t crc = Crc16X25(body.data(), body.size() - 2);
        EXPECT_EQ(body[body.size() - 2], crc & 0xFF);
        EXPECT_EQ(body[body.size() - 1], crc >> 8);
        crcBytesStuffed += ((crc & 0xFF) == 0xAA) + ((crc >> 8) == 0xAA);
    }
    EXPECT_GT(crcBytesStuffed, 0) << "no CRC byte met the stuffing rule";
}

TEST(BuildRequest, AcceptsOneTo256BytesAndRefusesEverythingElse) {
    const Bytes full(256, 0x41);
    const Bytes wire = BuildRequest(1, false, false, false, full.data(), full.size());
    EXPECT_EQ(wire[4], 0xFF);

    const Bytes tooLong(257, 0x41);
    struct Case {
        const char* name;
        const std::uint8_t* data;
        std::size_t size;
    };
    const Case refused[] = {
        {"257 bytes", tooLong.data(), tooLong.size()},
        {"0 bytes", tooLong.data(), 0},
        {"null payload", nullptr, 1},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.name);
        try {
            BuildRequest(1, true, false, false, c.data, c.size);
            ADD_FAILURE() << "no exception";
        } catch (const std::invalid_argument& e) {
            EXPECT_STREQ(e.what(), "CRC Hostmode payload must contain 1..256 bytes");
        }
    }
    EXPECT_THROW(BuildRequest(1, true, false, false, Bytes{}), std::invalid_argument);
}

}  // namespace
}  // namespace cvhost
