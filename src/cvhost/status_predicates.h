#pragma once

#include <cstdint>

namespace cvhost {

// Predicates over the status bytes of the "G 3" answer on the status channel.
// b0 holds a state code in bits 0..2 (7 = standby) and mode bits in bits 3..6;
// b1 qualifies the mode. Pure; any thread.

// An ARQ link is up: mode bits say ARQ and the modem is not in standby.
bool IsArqActiveStatus(std::uint8_t b0);

// An FEC broadcast of the first two protocol levels is being sent.
bool IsS1S2FecTransmitStatus(std::uint8_t b0, std::uint8_t b1);

// The mode bits alone say FEC transmission; the state code is not looked at.
bool IsKtm2FecTransmitStatus(std::uint8_t b0);

}  // namespace cvhost
