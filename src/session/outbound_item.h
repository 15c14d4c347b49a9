#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace corvina {

// Where a piece of channel data comes from; decides the link it needs and what
// happens when it has been sent completely.
enum class OutboundKind : std::uint32_t {
    TransmitText = 0,     // transmit line; needs linkCanSend
    TextFile = 1,         // text file sender; progress and end events
    BinaryFile = 2,       // binary file sender; needs arqConnected; end event
    TransferControl = 3,  // result and cancel records
    ChangeoverText = 4,   // changeover prompt; "%O" follows it; needs arqConnected
};

// Channel data waiting for the host worker. `offset` counts the bytes the modem
// has already accepted. Producers leave `tag` at 0: the worker uses it to know
// that the item it sent a piece of is still the one at the front.
struct OutboundItem {
    std::vector<std::uint8_t> bytes;
    std::uint64_t offset = 0;
    OutboundKind kind = OutboundKind::TransmitText;
    std::uint64_t tag = 0;
};

// Everything guarded by the session's queueMutex: what other threads hand to
// the host worker, and the progress counters of a file send (the file senders
// set the total and zero the count when a send starts; the worker counts only
// TextFile bytes).
struct HostQueues {
    std::deque<std::vector<std::uint8_t>> commandQueue;  // modem commands, oldest first
    std::deque<OutboundItem> outboundQueue;              // channel data, oldest first
    std::uint64_t sendTotalBytes = 0;
    std::uint64_t sendSentBytes = 0;
};

}  // namespace corvina
