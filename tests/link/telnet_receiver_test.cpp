#include "link/telnet_receiver.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

namespace corvina {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Decoded {
    Bytes payload;
    Bytes replies;
};

// Runs `wire` through `receiver` and collects what it yields.
Decoded Decode(TelnetReceiver& receiver, const Bytes& wire) {
    std::deque<std::uint8_t> queue;
    Decoded out;
    TelnetReply reply{};
    for (std::uint8_t byte : wire) {
        if (receiver.Feed(byte, queue, reply)) {
            out.replies.insert(out.replies.end(), reply.begin(), reply.end());
        }
    }
    out.payload.assign(queue.begin(), queue.end());
    return out;
}

TEST(TelnetReceiverTest, StripsCommandsAndAnswersOptionRequests) {
    struct Case {
        const char* name;
        Bytes wire;
        Bytes payload;
        Bytes replies;
    };
    const std::vector<Case> cases = {
        {"doubled IAC is one payload byte", {1, 255, 255, 2}, {1, 255, 2}, {}},
        {"WILL 3 accepted", {255, 251, 3}, {}, {255, 253, 3}},
        {"DO 0 accepted", {255, 253, 0}, {}, {255, 251, 0}},
        {"WILL 44 accepted", {255, 251, 44}, {}, {255, 253, 44}},
        {"DO 44 accepted", {255, 253, 44}, {}, {255, 251, 44}},
        {"WILL 1 refused", {255, 251, 1}, {}, {255, 254, 1}},
        {"DO 24 refused", {255, 253, 24}, {}, {255, 252, 24}},
        {"WONT unanswered", {7, 255, 252, 3, 8}, {7, 8}, {}},
        {"DONT unanswered", {255, 254, 0}, {}, {}},
        {"repeated offers answered once",
         {255, 251, 3, 255, 251, 3, 255, 253, 0, 255, 253, 0},
         {},
         {255, 253, 3, 255, 251, 0}},
        {"repeated refusals",
         {255, 251, 1, 255, 253, 1, 255, 251, 1},
         {},
         {255, 254, 1, 255, 252, 1, 255, 254, 1}},
        {"WONT and DONT reopen the answer",
         {255, 251, 3, 255, 252, 3, 255, 251, 3, 255, 253, 3, 255, 254, 3, 255, 253, 3},
         {},
         {255, 253, 3, 255, 253, 3, 255, 251, 3, 255, 251, 3}},
        {"NOP and GA dropped", {'a', 255, 241, 'b', 255, 249, 'c'}, {'a', 'b', 'c'}, {}},
        {"subnegotiation removed", {'A', 255, 250, 44, 1, 2, 255, 240, 'B'}, {'A', 'B'}, {}},
        {"IAC IAC inside subnegotiation does not end it",
         {255, 250, 44, 255, 255, 240, 9, 255, 240, 'Z'},
         {'Z'},
         {}},
        {"option byte 255 after WILL is an option, not data",
         {255, 251, 255, 'x'},
         {'x'},
         {255, 254, 255}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TelnetReceiver receiver;
        const Decoded out = Decode(receiver, c.wire);
        EXPECT_EQ(out.payload, c.payload);
        EXPECT_EQ(out.replies, c.replies);
        EXPECT_EQ(receiver.State(), TelnetData);
    }
}

TEST(TelnetReceiverTest, ResetForgetsAnUnfinishedCommandAndAgreedOptions) {
    TelnetReceiver receiver;
    Decode(receiver, {255, 251, 3, 255, 250, 1});
    ASSERT_EQ(receiver.State(), TelnetSubnegotiation);
    receiver.Reset();
    const Decoded out = Decode(receiver, {'q', 255, 251, 3});
    EXPECT_EQ(out.payload, Bytes{'q'});
    EXPECT_EQ(out.replies, (Bytes{255, 253, 3})) << "a new connection agrees afresh";
}

}  // namespace
}  // namespace corvina
