#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string_view>

// Fixed values of the hostmode conversation. Internal to the session module.
namespace corvina::session_constants {

using namespace std::chrono_literals;

// Transactions.
inline constexpr std::size_t kReceiveBufferSize = 4096;
inline constexpr std::uint32_t kReadTimeoutMs = 100;
inline constexpr auto kAttemptWindow = 1200ms;  // per attempt, counted from the write
// Attempts of a transaction in which the modem sent nothing at all: that many
// mean it is gone (switched off, unplugged), about 3.6 s after the first write.
inline constexpr std::uint32_t kAttempts = 3;
// Attempts of one transaction in all. An attempt the modem did answer, if
// only with a garbled frame, a frame on another channel or too late, does not
// count toward kAttempts: a modem that answers is asked again with the
// identical request, which makes it replay an answer it already gave, where
// a new request in its place could lose the link data that answer carried.
inline constexpr std::uint32_t kMaxAttemptsInAll = 8;
inline constexpr std::uint32_t kLeaveHostmodeAttempts = 1;
// An attempt that went unanswered may still be answered later, after the
// transaction has moved on. Before the next request the link must then be
// quiet this long, so that such an answer is discarded rather than read as
// the answer to a different request.
inline constexpr std::uint32_t kStaleAnswerSettleMs = 50;
// Reads of one discard of stale input, so that a link that never falls
// silent cannot hold the worker.
inline constexpr int kMaxDiscardReads = 64;

// Channels and polls.
inline constexpr std::uint8_t kStatusChannel = 254;
inline constexpr std::uint8_t kPendingOutputChannel = 255;
inline constexpr int kMaxLinkChannelPolls = 64;

// Worker pacing.
inline constexpr std::size_t kMaxFrameData = 256;  // per data frame and per "L" query
inline constexpr std::size_t kMaxCommandSize = 256;
inline constexpr std::uint32_t kMaxPendingFrames = 7;  // data only while "L" shows at most this
inline constexpr auto kPollInterval = 500ms;
inline constexpr auto kFullBufferPause = 500ms;
inline constexpr auto kLinkQueryInterval = 100ms;
inline constexpr auto kIdleWait = 25ms;
// After the modem refused channel data while the link still looked up: the
// wait before the data is offered again.
inline constexpr auto kRefusedDataPause = 500ms;

// Terminal dialogue.
inline constexpr std::size_t kDrainBufferSize = 1024;
inline constexpr std::uint32_t kDrainSilenceMs = 20;
inline constexpr auto kTerminalPause = 80ms;    // after every terminal write
inline constexpr auto kHostmodeSettle = 100ms;  // after "JHOST5", before the worker starts
inline constexpr int kPromptAttempts = 3;
// Longest one drain after "JHOST0" may take, while the window waits for the end.
inline constexpr auto kShutdownDrainLimit = 2000ms;

// The text of a transaction that got no answer at all: the modem stopped
// answering, which counts as a failed link.
inline constexpr std::string_view kTransactionTimedOut =
    "CRC Hostmode request timed out after retries";
inline constexpr std::string_view kStartCancelled = "Connection attempt cancelled";

// Bytes.
inline constexpr std::uint8_t kCr = 0x0D;
inline constexpr std::uint8_t kLf = 0x0A;

}  // namespace corvina::session_constants
