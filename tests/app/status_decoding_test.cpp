#include "app/status_decoding.h"

#include <gtest/gtest.h>

#include <vector>

namespace corvina {
namespace {

TEST(StatusDecoding, TextsForEachModeAndLevel) {
    struct Case {
        std::uint8_t status, level, speed;
        const char* direction;
        const char* state;
        const char* mode;
        bool sendIndicator;
    };
    const std::vector<Case> cases = {
        {0x23, 3, 1, "RECEIVE", "IDLE", "S3  SL2", false},
        {0x2B, 5, 0, "SEND", "IDLE", "S5  SL1", true},
        {0x20, 9, 0, "RECEIVE", "ERR", "", false},
        {0x20, 0, 0, "RECEIVE", "ERR", "", false},
        {0x4F, 2, 3, "SEND", "STBY", "S2 FEC  SL4", true},
        {0x40, 4, 0, "", "ERR", "S4/RUP FEC", false},
        {0x40, 9, 0, "", "ERR", "SIRVEX FEC", false},
        {0x40, 0, 0, "", "ERR", "SIRVEX FEC", false},
        {0x70, 0, 0, "", "ERR", "CHANNEL BUSY", false},
        {0x60, 0, 0, "", "ERR", "LISTEN", false},
        {0x15, 0, 0, "", "PHASE", "AMTOR ARQ", false},
        {0x3E, 0, 0, "", "SYNC", "AMTOR FEC", false},
        {0x5C, 0, 0, "", "OVER", "RTTY/CW", false},
        {0x02, 0, 0, "", "TFC", "", false},
        {0x0F, 3, 0, "", "STBY", "", false},
        {0x21, 1, 255, "RECEIVE", "RQ", "S1  SL256", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "status 0x" << std::hex << int{c.status} << " level "
                                        << std::dec << int{c.level});
        const StatusOutcome out = DecodeStatus({c.status, c.level, c.speed}, {});
        EXPECT_EQ(out.directionText, c.direction);
        EXPECT_EQ(out.stateText, c.state);
        EXPECT_EQ(out.modeText, c.mode);
        EXPECT_EQ(out.sendIndicator, c.sendIndicator);
    }
}

TEST(StatusDecoding, LinkFlagsFollowTheModem) {
    const StatusOutcome arq = DecodeStatus({0x23, 3, 1}, {});
    EXPECT_TRUE(arq.arqActive);
    EXPECT_FALSE(arq.fecActive);
    EXPECT_FALSE(arq.fecSending);

    const StatusOutcome standbyFec = DecodeStatus({0x4F, 1, 0}, {});
    EXPECT_FALSE(standbyFec.fecSending) << "state 7 is standby";
    EXPECT_FALSE(standbyFec.fecActive);

    const StatusOutcome sendingFec = DecodeStatus({0x4B, 1, 0}, {});
    EXPECT_TRUE(sendingFec.fecSending);
    EXPECT_TRUE(sendingFec.fecActive);
    EXPECT_FALSE(sendingFec.arqActive);
}

TEST(StatusDecoding, ArqCleanUpNeedsTheTransition) {
    StatusPrevious linkUp;
    linkUp.arqActive = true;
    EXPECT_TRUE(DecodeStatus({0x07, 0, 0}, linkUp).arqLinkEnded);
    EXPECT_FALSE(DecodeStatus({0x23, 3, 0}, linkUp).arqLinkEnded);
    // A second poll without a link starts from arqActive false.
    EXPECT_FALSE(DecodeStatus({0x07, 0, 0}, {}).arqLinkEnded);
}

TEST(StatusDecoding, BroadcastConfirmationsAndTextSendStop) {
    StatusPrevious starting;
    starting.fecStarting = true;
    EXPECT_TRUE(DecodeStatus({0x4B, 1, 0}, starting).fecStartConfirmed);
    EXPECT_FALSE(DecodeStatus({0x07, 0, 0}, starting).fecStartConfirmed);

    StatusPrevious ending;
    ending.fecEnding = true;
    EXPECT_FALSE(DecodeStatus({0x4B, 1, 0}, ending).fecEndConfirmed);
    EXPECT_TRUE(DecodeStatus({0x07, 0, 0}, ending).fecEndConfirmed);

    StatusPrevious textUnderFec;
    textUnderFec.fecActive = true;
    textUnderFec.fileSendActive = true;
    EXPECT_TRUE(DecodeStatus({0x07, 0, 0}, textUnderFec).stopTextFileSend);
    EXPECT_FALSE(DecodeStatus({0x4B, 2, 0}, textUnderFec).stopTextFileSend);
    StatusPrevious binaryUnderFec = textUnderFec;
    binaryUnderFec.binarySendActive = true;
    EXPECT_FALSE(DecodeStatus({0x07, 0, 0}, binaryUnderFec).stopTextFileSend);
}

TEST(StatusDecoding, CallingLastsUntilThePeerIsNamed) {
    StatusPrevious pending;
    pending.callPending = true;
    EXPECT_TRUE(DecodeStatus({0x01, 0, 0}, pending).calling);
    pending.peerConnected = true;
    EXPECT_FALSE(DecodeStatus({0x01, 0, 0}, pending).calling);
}

}  // namespace
}  // namespace corvina
