#pragma once

#include <cstdint>
#include <string_view>

namespace corvina {

// How long a broadcast start may wait for the modem's confirmation.
inline constexpr int kBroadcastStartTimeoutMs = 2000;

// Shown, as an error, when a broadcast end was never confirmed.
inline constexpr std::u16string_view kBroadcastEndUnconfirmed =
    u"Modem did not confirm the end of the FEC broadcast";

// How long a broadcast end may wait for the modem to report that it stopped
// sending: the time the most the modem can still hold (the host queues data
// only while it has at most seven frames of 256 bytes waiting, so eight
// frames) needs at the air rate of `level`, plus a margin for polls and
// changeovers. A level outside 1..4 counts as the slowest. Pure.
int BroadcastEndTimeoutMs(std::uint8_t level);

}  // namespace corvina
