#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "raw_client.h"
#include "sim/simulator.h"

namespace velksim::test {

inline std::vector<std::uint8_t> Ascii(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

// Runs a simulator with the named modems on loopback and hands out raw clients
// already in hostmode. The radio runs 50 times faster than the wall clock.
class SimFixture : public ::testing::Test {
  protected:
    static SimulatorOptions Options(const std::vector<std::string>& calls) {
        SimulatorOptions options;
        options.channel.timeScale = 50;
        options.channel.callTimeout = std::chrono::milliseconds(5000);
        for (const std::string& call : calls) {
            ModemOptions modem;
            modem.name = call;
            options.modems.push_back(modem);
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
    void Link(RawClient& caller, RawClient& called, const std::string& callerCall,
              const std::string& calledCall) {
        const auto answer = caller.Command(kChannel, "C %" + calledCall);
        ASSERT_TRUE(answer);
        ASSERT_EQ(answer->code, 0) << Text(*answer);
        ASSERT_TRUE(caller.WaitLinkMessage(kChannel, "*** CONNECTED to " + calledCall, 2000ms));
        ASSERT_TRUE(called.WaitLinkMessage(kChannel, "*** CONNECTED to " + callerCall, 2000ms));
    }

    // Collects code `code` data from the link channel until `size` bytes came.
    static std::vector<std::uint8_t> Collect(RawClient& client, std::uint8_t code, std::size_t size,
                                             std::chrono::milliseconds timeout = 5000ms) {
        std::vector<std::uint8_t> data;
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (data.size() < size && std::chrono::steady_clock::now() < end) {
            for (const cvhost::Frame& frame : client.Drain(kChannel)) {
                if (frame.code == code) {
                    data.insert(data.end(), frame.payload.begin(), frame.payload.end());
                }
            }
            std::this_thread::sleep_for(2ms);
        }
        return data;
    }

    static constexpr std::uint8_t kChannel = 4;
    std::unique_ptr<Simulator> sim_;
};

}  // namespace velksim::test
