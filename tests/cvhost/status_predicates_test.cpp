#include "cvhost/status_predicates.h"

#include <gtest/gtest.h>

namespace cvhost {
namespace {

TEST(StatusPredicates, ArqActiveNeedsArqModeOutsideStandby) {
    struct Case {
        std::uint8_t b0;
        bool active;
    };
    const Case cases[] = {
        {0x23, true},  {0x20, true},  {0x26, true},  {0xA3, true},  // bit 7 is not looked at
        {0x27, false}, {0x43, false}, {0x33, false}, {0x03, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.b0));
        EXPECT_EQ(IsArqActiveStatus(c.b0), c.active);
    }
}

TEST(StatusPredicates, FecTransmitOfTheFirstTwoLevels) {
    struct Case {
        std::uint8_t b0, b1;
        bool s1s2, ktm2;
    };
    const Case cases[] = {
        {0x4B, 1, true, true},   {0x4B, 2, true, true},   {0x4B, 0, false, true},
        {0x4B, 3, false, true},  {0x4F, 1, false, true},  {0x48, 2, true, true},
        {0x43, 1, false, false}, {0x5B, 1, false, false}, {0x23, 1, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.b0) + "/" + std::to_string(c.b1));
        EXPECT_EQ(IsS1S2FecTransmitStatus(c.b0, c.b1), c.s1s2);
        EXPECT_EQ(IsKtm2FecTransmitStatus(c.b0), c.ktm2);
    }
}

}  // namespace
}  // namespace cvhost
