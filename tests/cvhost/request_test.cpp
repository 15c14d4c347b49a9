#include "cvhost/request.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

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
