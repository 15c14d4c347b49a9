#include "cvhost/status_predicates.h"

namespace cvhost {
namespace {

// Status byte b0: bit 7 unused | bits 3..6 mode | bits 0..2 state code
constexpr std::uint8_t kStateMask = 0x07;
constexpr std::uint8_t kStandbyState = 0x07;
// ARQ is told by bits 4..6 only.
constexpr std::uint8_t kArqModeMask = 0x70;
constexpr std::uint8_t kArqMode = 0x20;
// FEC transmission needs all four mode bits.
constexpr std::uint8_t kFecModeMask = 0x78;
constexpr std::uint8_t kFecTransmitMode = 0x48;
// b1 values of the first two protocol levels.
constexpr std::uint8_t kLevelS1 = 1;
constexpr std::uint8_t kLevelS2 = 2;

}  // namespace

bool IsArqActiveStatus(std::uint8_t b0) {
    return (b0 & kArqModeMask) == kArqMode && (b0 & kStateMask) < kStandbyState;
}

bool IsS1S2FecTransmitStatus(std::uint8_t b0, std::uint8_t b1) {
    return (b0 & kFecModeMask) == kFecTransmitMode && (b0 & kStateMask) != kStandbyState &&
           (b1 == kLevelS1 || b1 == kLevelS2);
}

bool IsKtm2FecTransmitStatus(std::uint8_t b0) {
    return (b0 & kFecModeMask) == kFecTransmitMode;
}

}  // namespace cvhost
