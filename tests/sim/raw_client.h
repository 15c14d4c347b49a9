#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cvhost/response_parser.h"
#include "sim/posix_io.h"
#include "sim/telnet.h"

namespace velksim::test {

using namespace std::chrono_literals;

// A client that speaks to a simulated modem the way a host program would, over a
// TCP connection (with Telnet doubling) or an opened pseudo-terminal: terminal
// lines and raw bytes, or hostmode transactions with the sequence bits kept.
class RawClient {
  public:
    bool ConnectTcp(std::uint16_t port);
    // Opens a serial-port path (the pseudo-terminal symlink).
    bool OpenDevice(const std::string& path);
    int fd() const { return fd_.get(); }

    bool Write(const std::vector<std::uint8_t>& bytes);
    bool Write(const std::string& text) {
        return Write(std::vector<std::uint8_t>(text.begin(), text.end()));
    }
    // Reads for `duration`, or until `needle` has arrived when it is not empty.
    std::string ReadText(std::chrono::milliseconds duration, const std::string& needle = {});
    std::vector<std::uint8_t> ReadBytes(std::chrono::milliseconds duration,
                                        std::size_t enough = SIZE_MAX);
    // True when the peer closed (or hung up) within `duration`.
    bool WaitClosed(std::chrono::milliseconds duration);

    // ESC until "cmd: ", then JHOST5.
    bool EnterHostmode();

    // One hostmode request; the answer on its channel, or nothing within
    // `timeout`. The sequence bit toggles after an answer, as a host does.
    std::optional<cvhost::Frame> Transact(std::uint8_t channel, bool command,
                                          const std::vector<std::uint8_t>& payload,
                                          std::chrono::milliseconds timeout = 1000ms);
    std::optional<cvhost::Frame> Command(std::uint8_t channel, const std::string& text,
                                         std::chrono::milliseconds timeout = 1000ms) {
        return Transact(channel, true, std::vector<std::uint8_t>(text.begin(), text.end()),
                        timeout);
    }
    std::optional<cvhost::Frame> Data(std::uint8_t channel,
                                      const std::vector<std::uint8_t>& bytes) {
        return Transact(channel, false, bytes);
    }
    // Sends the exact bytes of the last request again (a host's retry).
    std::optional<cvhost::Frame> Repeat(std::chrono::milliseconds timeout = 1000ms);
    // Events the parser produced while waiting for answers, faults included.
    const std::vector<cvhost::ParseEvent>& events() const { return events_; }

    // Link channel output: every "G" answer until code 0.
    std::vector<cvhost::Frame> Drain(std::uint8_t channel);
    // The status bytes of "G 3"; empty when it failed.
    std::vector<std::uint8_t> Status();
    // Polls "G" until a code-3 answer containing `text` arrives or `timeout`.
    bool WaitLinkMessage(std::uint8_t channel, const std::string& text,
                         std::chrono::milliseconds timeout);

    bool sequenceBit = false;
    bool sequenceStart = true;

  private:
    // What one read brought within `wait`, Telnet removed; `closed` when the
    // peer hung up.
    std::vector<std::uint8_t> ReadChunk(std::chrono::milliseconds wait, bool& closed);
    std::optional<cvhost::Frame> AwaitAnswer(std::uint8_t channel,
                                             std::chrono::milliseconds timeout);

    UniqueFd fd_;
    bool tcp_ = false;
    TelnetCodec telnet_;
    cvhost::ResponseParser parser_;
    std::vector<std::uint8_t> lastRequest_;
    std::uint8_t lastChannel_ = 0;
    std::vector<cvhost::ParseEvent> events_;
    // Bytes read after the last answer, handed out by the next plain read.
    std::vector<std::uint8_t> leftover_;
    // Link channel items that arrived while waiting for a specific message.
    std::vector<cvhost::Frame> stash_;
};

std::string Text(const cvhost::Frame& frame);

}  // namespace velksim::test
