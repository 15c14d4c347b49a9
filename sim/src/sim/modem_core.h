#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "sim/faults.h"
#include "sim/link.h"
#include "sim/options.h"
#include "sim/request_parser.h"
#include "sim/terminal_dialogue.h"

namespace velksim {

class Channel;

// Something an endpoint must do for its client, in order: wait `delay`, then
// write `bytes`; `hangUp` closes the connection instead of writing.
struct ClientOutput {
    std::vector<std::uint8_t> bytes;
    std::chrono::milliseconds delay{0};
    bool hangUp = false;
};

// Status bytes of a status query: status, level, speed.
using StatusBytes = std::array<std::uint8_t, 3>;

// The modem itself: terminal mode, CRC hostmode and the station's side of the
// radio. Endpoint threads call the public client functions, which take the
// channel's lock; the Channel calls the ...Locked functions with that lock held.
// `channel` must outlive the ModemCore.
class ModemCore {
  public:
    ModemCore(Channel& channel, const ModemOptions& options, std::uint64_t seed);

    // --- endpoint side, any thread ---
    // A client has connected: what the modem shows it.
    std::vector<std::uint8_t> OnConnect();
    // Bytes from the client (Telnet already removed); returns what to send back.
    std::vector<ClientOutput> OnClientBytes(const std::uint8_t* data, std::size_t size);
    void CountTelnetCommands(std::size_t count);
    // The chatter interval now (Faults::chatterMs); 0 when off.
    std::chrono::milliseconds ChatterInterval() const;
    // One unprompted line of busy-channel monitor text, or nothing when the
    // modem is in hostmode or silent. The endpoint calls it when an interval
    // has passed and writes the result to its client.
    std::vector<std::uint8_t> OnChatterDue();

    Faults& faults() { return faults_; }
    Counters counters() const;
    std::string call() const;
    bool inHostmode() const;
    StatusBytes status() const;

    // --- channel side, channel lock held ---
    const std::string& CallLocked() const { return call_; }
    const std::string& NameLocked() const { return options_.name; }
    Link* link = nullptr;       // the link this station takes part in
    Link* listening = nullptr;  // a broadcast this station hears
    // Queues output for the host on the link channel; received data (7) and
    // echo (8) are merged into the newest item of the same code up to 256 bytes.
    void PushOutputLocked(std::uint8_t code, const std::uint8_t* data, std::size_t size);
    void PushLinkMessageLocked(const std::string& text);
    std::size_t SendBufferBytesLocked() const { return sendBufferBytes_; }
    // Removes up to `size` bytes from the front of the send buffer.
    std::vector<std::uint8_t> TakeSendBytesLocked(std::size_t size);
    void ClearSendBufferLocked();
    Counters& MutableCountersLocked() { return counters_; }
    StatusBytes StatusLocked() const;

  private:
    struct Answer {
        std::uint8_t channel = 0;
        std::uint8_t code = 0;
        std::vector<std::uint8_t> data;
        bool leaveHostmode = false;
    };
    struct OutputItem {
        std::uint8_t code = 0;
        std::vector<std::uint8_t> data;
    };
    struct SendFrame {
        std::vector<std::uint8_t> bytes;
        std::size_t offset = 0;
    };

    void HandleRequest(const Request& request, std::vector<ClientOutput>& out);
    ClientOutput ApplyFaults(std::uint64_t index, const Answer& answer);
    std::string DescribeRequest(const Request& request) const;
    void Log(const std::string& line) const;

    // Hostmode commands (hostmode_commands.cpp).
    Answer Execute(const Request& request);
    Answer ExecuteLinkCommand(std::uint8_t channel, const std::string& text);
    Answer AcceptData(const Request& request);
    Answer PendingOutput(std::uint8_t channel);
    Answer NextOutput(std::uint8_t channel);
    Answer LinkStatusText(std::uint8_t channel) const;
    std::size_t SendFramesLocked() const { return sendBuffer_.size(); }

    Channel& channel_;
    ModemOptions options_;
    Faults faults_;
    Counters counters_;
    std::mt19937_64 random_;
    std::string call_;
    TerminalDialogue terminal_;
    bool hostmode_ = false;
    RequestParser parser_;
    std::uint8_t linkChannel_;

    // Repetition detection: the last executed request and its answer.
    bool haveLast_ = false;
    bool lastSequenceBit_ = false;
    std::vector<std::uint8_t> lastBody_;
    Answer lastAnswer_;

    std::deque<OutputItem> output_;
    std::deque<SendFrame> sendBuffer_;
    std::size_t sendBufferBytes_ = 0;
    std::optional<StatusBytes> lastReportedStatus_;
};

}  // namespace velksim
