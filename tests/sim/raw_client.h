#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cvhost/response_parser.h"
#include "sim/posix_io.h"
#include "sim/simulator.h"
#include "sim/telnet.h"

namespace velksim::test {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

inline Bytes Ascii(const std::string& text) {
    return Bytes(text.begin(), text.end());
}
inline std::string Text(const cvhost::Frame& frame) {
    return std::string(frame.payload.begin(), frame.payload.end());
}

// A client that speaks to a simulated modem the way a host program would, over
// TCP (with Telnet doubling) or an opened pseudo-terminal: terminal text and
// raw bytes, or hostmode transactions with the sequence bits kept.
class RawClient {
  public:
    bool ConnectTcp(std::uint16_t port);
    bool OpenDevice(const std::string& path);
    int fd() const { return fd_.get(); }

    bool Write(const Bytes& bytes);
    bool Write(const std::string& text) { return Write(Ascii(text)); }
    // Reads for `duration`, or until `needle` has arrived when it is not empty.
    std::string Read(std::chrono::milliseconds duration, const std::string& needle = {});
    // True when the peer closed (or hung up) within `duration`.
    bool WaitClosed(std::chrono::milliseconds duration);
    // ESC until "cmd: ", then JHOST5.
    bool EnterHostmode();

    // One hostmode request; the answer on its channel, or nothing within
    // `timeout`. The sequence bit toggles after an answer, as a host does.
    std::optional<cvhost::Frame> Transact(std::uint8_t channel, bool command, const Bytes& payload,
                                          std::chrono::milliseconds timeout = 1000ms);
    std::optional<cvhost::Frame> Command(std::uint8_t channel, const std::string& text,
                                         std::chrono::milliseconds timeout = 1000ms) {
        return Transact(channel, true, Ascii(text), timeout);
    }
    std::optional<cvhost::Frame> Data(std::uint8_t channel, const Bytes& bytes) {
        return Transact(channel, false, bytes);
    }
    // Sends the exact bytes of the last request again (a host's retry).
    std::optional<cvhost::Frame> Repeat();
    // Events the parser produced while waiting for answers, faults included.
    const std::vector<cvhost::ParseEvent>& events() const { return events_; }

    // The status bytes of "G 3"; empty when it failed.
    Bytes Status();
    // Polls "G" until a code-3 answer containing `text` arrives or `timeout`;
    // link data (code 7) that came first is added to `data` when given.
    bool WaitLinkMessage(std::uint8_t channel, const std::string& text,
                         std::chrono::milliseconds timeout, Bytes* data = nullptr);

  private:
    // What one read brought within `wait`, Telnet removed; `closed` when the
    // peer hung up.
    Bytes ReadChunk(std::chrono::milliseconds wait, bool& closed);
    std::optional<cvhost::Frame> AwaitAnswer(std::uint8_t channel,
                                             std::chrono::milliseconds timeout);

    UniqueFd fd_;
    bool tcp_ = false;
    TelnetCodec telnet_;
    cvhost::ResponseParser parser_;
    bool sequenceBit_ = false;
    bool sequenceStart_ = true;
    Bytes lastRequest_;
    std::uint8_t lastChannel_ = 0;
    std::vector<cvhost::ParseEvent> events_;
    // Bytes read after the last answer, handed out by the next plain read.
    Bytes leftover_;
};

// Runs a simulator with the named modems on loopback and hands out raw clients
// already in hostmode. The radio runs 50 times faster than the wall clock.
class SimFixture : public ::testing::Test {
  protected:
    static SimulatorOptions Options(const std::vector<std::string>& calls) {
        SimulatorOptions options;
        options.channel.timeScale = 50;
        options.channel.callTimeout = std::chrono::milliseconds(5000);
        for (const std::string& call : calls) {
            options.modems.emplace_back().name = call;
        }
        return options;
    }

    void StartSim(SimulatorOptions options) {
        sim_ = std::make_unique<Simulator>(std::move(options));
        std::string error;
        ASSERT_TRUE(sim_->Start(error)) << error;
    }

    // A client connected to modem `index` and switched to hostmode.
    std::unique_ptr<RawClient> Host(std::size_t index) {
        auto client = std::make_unique<RawClient>();
        EXPECT_TRUE(client->ConnectTcp(sim_->modem(index).tcpPort()));
        EXPECT_TRUE(client->EnterHostmode());
        return client;
    }

    // Calls from `caller` to `called` and waits until both report the link.
    static void Link(RawClient& caller, RawClient& called, const std::string& callerCall,
                     const std::string& calledCall) {
        const auto answer = caller.Command(kChannel, "C %" + calledCall);
        ASSERT_TRUE(answer);
        ASSERT_EQ(answer->code, 0) << Text(*answer);
        ASSERT_TRUE(caller.WaitLinkMessage(kChannel, "*** CONNECTED to " + calledCall, 2000ms));
        ASSERT_TRUE(called.WaitLinkMessage(kChannel, "*** CONNECTED to " + callerCall, 2000ms));
    }

    static constexpr std::uint8_t kChannel = 4;
    std::unique_ptr<Simulator> sim_;
};
}  // namespace velksim::test
