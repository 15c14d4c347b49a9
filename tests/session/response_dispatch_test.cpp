#include <gtest/gtest.h>

#include "cvfile/record_codec.h"
#include "session_harness.h"

namespace corvina::testing {
namespace {

// Waits until the text `marker`, queued after everything else, has been shown.
bool Shown(SessionHarness& h, const std::string& marker) {
    const std::size_t from = h.sink.Size();
    h.modem.QueueLinkOutputs({{1, ToBytes(marker)}});
    return h.sink.WaitFor(IsOutputContaining(HostOutputKind::ReceivedText, marker), 3s, from)
        .has_value();
}

TEST(ResponseDispatch, AnswersBecomeTextErrorsAndLinkStateChanges) {
    SessionHarness h;
    ASSERT_TRUE(h.StartAndWaitActive()) << h.startError;
    const struct {
        std::uint8_t code;
        std::string text;
        std::uint8_t linkStateAfter;
        std::string peerAfter;
    } steps[] = {
        {1, "hello", 0, ""},
        {2, "UNKNOWN COMMAND", 0, ""},
        {1, "", 0, ""},
        {3, "*** DISCONNECTED fm", 0, ""},  // not shown: no ARQ link
        {3, "*** CONNECTED to ab1xyz", 1, "AB1XYZ"},
        {3, "*** LINK RESET", 1, "AB1XYZ"},
        {3, "*** DISCONNECTED fm", 0, ""},
        {3, "*** LINK RESET", 0, ""},  // not shown without a link
        {3, "*** CONNECTED to UNPROTO", 2, ""},
        {3, "*** DISCONNECTED fm", 0, ""},  // not shown: was a broadcast
        {4, "four", 0, ""},
        {5, "five", 0, ""},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.text);
        h.modem.QueueLinkOutputs({{step.code, ToBytes(step.text)}});
        ASSERT_TRUE(Shown(h, "mark"));
        EXPECT_EQ(h.session.linkState.load(), step.linkStateAfter);
        EXPECT_EQ(h.session.ConnectedPeer(), step.peerAfter);
    }
    const auto shown = [&](HostOutputKind kind) {
        std::string text = JoinedOutput(h.sink.Events(), kind);
        for (std::size_t at; (at = text.find("mark\r\n")) != std::string::npos;) {
            text.erase(at, 6);
        }
        return text;
    };
    EXPECT_EQ(shown(HostOutputKind::ReceivedText),
              "hello\r\n*** HOSTMODE ERROR: UNKNOWN COMMAND\r\nfour\r\nfive\r\n");
    EXPECT_EQ(shown(HostOutputKind::LinkMessage),
              "*** CONNECTED to ab1xyz\r\n*** LINK RESET\r\n*** DISCONNECTED fm\r\n");
}

TEST(ResponseDispatch, RecordsFetchedAfterTheLinkEndedReachNoTransferAndSwallowNothing) {
    FakeTransferHooks hooks;
    SessionHarness h(&hooks);
    StartWithArqLink(h);
    const auto encode = [](cvfile::RecordType type, const std::string& payload) {
        cvfile::TransferRecord record;
        record.type = type;
        record.transferId = 7;
        record.payload = ToBytes(payload);
        return cvfile::EncodeRecord(record);
    };
    const Bytes start = encode(cvfile::RecordType::Start, "a.txt");
    h.modem.SetStatus(0x07, 0, 0);
    ASSERT_TRUE(Eventually([&] { return !h.session.arqConnected; }));
    // A whole record, then one cut off by the end of the link.
    h.modem.QueueLinkOutputs({{7, start}, {7, Bytes(start.begin(), start.begin() + 5)}});
    h.modem.QueueLinkOutputs({{3, ToBytes("*** DISCONNECTED fm AB1XYZ")}}, true);
    ASSERT_TRUE(h.sink.WaitFor(IsOutputContaining(HostOutputKind::LinkMessage, "DISCONN"), 3s));
    h.modem.SetStatus(0x23, 3, 1);
    ASSERT_TRUE(Eventually([&] { return h.session.arqConnected.load(); }));
    h.modem.QueueLinkOutputs({{7, encode(cvfile::RecordType::End, "")}});
    ASSERT_TRUE(Shown(h, "mark"));
    EXPECT_EQ(hooks.Calls(), std::vector<std::string>{"End:"});
}

}  // namespace
}  // namespace corvina::testing
