#include "app/status_decoding.h"

#include <array>

#include "cvhost/status_predicates.h"

namespace corvina {
namespace {

// Status byte: bits 0..2 state, bit 3 sender, bits 4..6 mode.
constexpr std::uint8_t kStateMask = 0x07;
constexpr std::uint8_t kSenderBit = 0x08;
constexpr std::uint8_t kModeMask = 0x70;
constexpr std::uint8_t kStandbyState = 7;

constexpr std::uint8_t kModeStandby = 0x00;
constexpr std::uint8_t kModeAmtorArq = 0x10;
constexpr std::uint8_t kModeSirvexArq = 0x20;
constexpr std::uint8_t kModeAmtorFec = 0x30;
constexpr std::uint8_t kModeSirvexFec = 0x40;
constexpr std::uint8_t kModeRttyCw = 0x50;
constexpr std::uint8_t kModeListen = 0x60;
constexpr std::uint8_t kModeChannelBusy = 0x70;

constexpr std::array<const char*, 8> kStates = {"ERR",  "RQ",    "TFC",  "IDLE",
                                                "OVER", "PHASE", "SYNC", "STBY"};

// "S" level, then `middle`, then the 1-based speed level. Built by appending:
// gcc 12 warns falsely (-Wrestrict) on literal + temporary chains at -O3.
std::string LevelText(int level, const char* middle, std::uint8_t speed) {
    std::string text = "S";
    text += std::to_string(level);
    text += middle;
    text += std::to_string(static_cast<unsigned>(speed) + 1U);
    return text;
}

}  // namespace

std::string StatusModeText(const StatusBytes& b) {
    const int level = b.level;
    switch (b.status & kModeMask) {
        case kModeSirvexArq:
            if (level >= 1 && level <= 5) {
                return LevelText(level, "  SL", b.speed);
            }
            return {};
        case kModeSirvexFec:
            if (level >= 1 && level <= 3) {
                return LevelText(level, " FEC  SL", b.speed);
            }
            return level == 4 ? "S4/RUP FEC" : "SIRVEX FEC";
        case kModeAmtorArq:
            return "AMTOR ARQ";
        case kModeAmtorFec:
            return "AMTOR FEC";
        case kModeRttyCw:
            return "RTTY/CW";
        case kModeListen:
            return "LISTEN";
        case kModeChannelBusy:
            return "CHANNEL BUSY";
        case kModeStandby:
        default:
            return {};
    }
}

StatusOutcome DecodeStatus(const StatusBytes& b, const StatusPrevious& previous) {
    const std::uint8_t mode = b.status & kModeMask;
    const std::uint8_t state = b.status & kStateMask;
    const bool sender = (b.status & kSenderBit) != 0;

    StatusOutcome out;
    out.modeText = StatusModeText(b);
    out.fecActive = cvhost::IsS1S2FecTransmitStatus(b.status, b.level);
    out.arqActive = cvhost::IsArqActiveStatus(b.status);
    out.fecSending = sender && mode == kModeSirvexFec && state != kStandbyState;

    out.stopTextFileSend = previous.fecActive && !out.fecActive && previous.fileSendActive &&
                           !previous.binarySendActive;
    out.fecStartConfirmed = out.fecActive && previous.fecStarting;
    out.fecEndConfirmed = !out.fecSending && previous.fecEnding;
    out.calling = previous.callPending && !previous.peerConnected;

    if (sender && (mode == kModeSirvexArq || mode == kModeSirvexFec)) {
        out.sendIndicator = true;
        out.directionText = "SEND";
    } else {
        out.directionText = mode == kModeSirvexArq ? "RECEIVE" : "";
    }
    out.stateText = kStates[state];
    out.arqLinkEnded = previous.arqActive && !out.arqActive;
    return out;
}

}  // namespace corvina
