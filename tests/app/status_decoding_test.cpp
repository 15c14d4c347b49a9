#include "app/status_decoding.h"

#include <gtest/gtest.h>

#include <string>

namespace corvina {
namespace {

// The row's texts as "direction|state|mode", then the set flags by name.
std::string Summary(const StatusOutcome& out) {
    std::string summary = out.directionText + "|" + out.stateText + "|" + out.modeText + " /";
    for (const auto& [set, name] : {std::pair{out.sendIndicator, "send"},
                                    {out.arqActive, "arq"},
                                    {out.fecActive, "fec"},
                                    {out.fecSending, "fecsending"},
                                    {out.calling, "calling"},
                                    {out.stopTextFileSend, "stoptext"},
                                    {out.fecStartConfirmed, "started"},
                                    {out.fecEndConfirmed, "ended"},
                                    {out.arqLinkEnded, "arqended"}}) {
        if (set) {
            summary += std::string(" ") + name;
        }
    }
    return summary;
}

TEST(StatusDecoding, TextsAndFlagsFollowThePollAndWhatCameBefore) {
    const StatusBytes noLink{0x07, 0, 0};
    const StatusBytes broadcasting{0x4B, 1, 0};
    const StatusPrevious fecText{.fecActive = true, .fileSendActive = true};
    const struct {
        StatusPrevious before;
        StatusBytes bytes;
        const char* expected;
    } cases[] = {
        {{}, {0x23, 3, 1}, "RECEIVE|IDLE|S3  SL2 / arq"},
        {{}, {0x2B, 5, 0}, "SEND|IDLE|S5  SL1 / send arq"},
        {{}, {0x20, 9, 0}, "RECEIVE|ERR| / arq"},
        {{}, {0x20, 0, 0}, "RECEIVE|ERR| / arq"},
        {{}, {0x21, 1, 255}, "RECEIVE|RQ|S1  SL256 / arq"},
        {{}, {0x4F, 2, 3}, "SEND|STBY|S2 FEC  SL4 / send"},  // state 7 is standby
        {{}, broadcasting, "SEND|IDLE|S1 FEC  SL1 / send fec fecsending"},
        {{}, {0x40, 4, 0}, "|ERR|S4/RUP FEC /"},
        {{}, {0x40, 9, 0}, "|ERR|SIRVEX FEC /"},
        {{}, {0x40, 0, 0}, "|ERR|SIRVEX FEC /"},
        {{}, {0x70, 0, 0}, "|ERR|CHANNEL BUSY /"},
        {{}, {0x60, 0, 0}, "|ERR|LISTEN /"},
        {{}, {0x15, 0, 0}, "|PHASE|AMTOR ARQ /"},
        {{}, {0x3E, 0, 0}, "|SYNC|AMTOR FEC /"},
        {{}, {0x5C, 0, 0}, "|OVER|RTTY/CW /"},
        {{}, {0x02, 0, 0}, "|TFC| /"},
        {{}, {0x0F, 3, 0}, "|STBY| /"},
        // The clean-up after an ARQ link runs on the poll that finds it gone.
        {{.arqActive = true}, noLink, "|STBY| / arqended"},
        {{}, noLink, "|STBY| /"},
        {{.fecStarting = true},
         broadcasting,
         "SEND|IDLE|S1 FEC  SL1 / send fec fecsending started"},
        {{.fecStarting = true}, noLink, "|STBY| /"},
        {{.fecEnding = true}, broadcasting, "SEND|IDLE|S1 FEC  SL1 / send fec fecsending"},
        {{.fecEnding = true}, noLink, "|STBY| / ended"},
        // A broadcast that ends stops a text file it carried, not a binary one.
        {fecText, noLink, "|STBY| / stoptext"},
        {fecText, broadcasting, "SEND|IDLE|S1 FEC  SL1 / send fec fecsending"},
        {{.fecActive = true, .fileSendActive = true, .binarySendActive = true}, noLink, "|STBY| /"},
        // Calling lasts until the peer is named.
        {{.callPending = true}, {0x01, 0, 0}, "|RQ| / calling"},
        {{.callPending = true, .peerConnected = true}, {0x01, 0, 0}, "|RQ| /"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "status 0x" << std::hex << int{c.bytes.status}
                                          << " level " << std::dec << int{c.bytes.level});
        EXPECT_EQ(Summary(DecodeStatus(c.bytes, c.before)), c.expected);
    }
}

}  // namespace
}  // namespace corvina
