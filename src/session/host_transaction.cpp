// Transactions with the modem in CRC hostmode and the two polls built on them.
// Host worker thread only (so the parser and the sequence bits need no lock).

#include <algorithm>
#include <exception>

#include "cvhost/request.h"
#include "cvhost/status_predicates.h"
#include "session/host_session.h"
#include "session/session_constants.h"

namespace corvina {

using namespace session_constants;

namespace {

constexpr std::string_view kSessionStopped = "CRC Hostmode session stopped";

constexpr std::string_view kStatusQuery = "G 3";
constexpr std::string_view kOutputQuery = "G";

// Status bytes of a "G 3" answer: status, level, speed.
constexpr std::size_t kStatusByteCount = 3;
// A pending-output answer lists each channel with output as channel + 1.
constexpr std::uint8_t kStatusChannelMark = kStatusChannel + 1;

}  // namespace

bool HostSession::HostTransact(std::uint8_t channel, bool command, const Bytes& payload,
                               cvhost::Frame& answer, std::string& error, bool force,
                               std::uint32_t attempts) {
    Bytes request;
    try {
        request = cvhost::BuildRequest(channel, command, sequenceBit_, sequenceStart_, payload);
    } catch (const std::exception& failure) {
        error = failure.what();
        return false;
    }

    // Whatever way this fails, the modem may have run the request without its
    // answer reaching us: the next request starts a new sequence, so that it is
    // never taken for a repetition and answered with the old answer.
    const auto fail = [this] {
        sequenceStart_ = true;
        return false;
    };
    if (!DiscardStaleInput(error)) {
        return fail();
    }
    // A transaction of one attempt (leaving hostmode) is never repeated.
    const std::uint32_t attemptsInAll =
        attempts > 1 ? std::max(attempts, kMaxAttemptsInAll) : attempts;
    std::uint32_t silentAttempts = 0;
    for (std::uint32_t attempt = 0; attempt < attemptsInAll && silentAttempts < attempts;
         ++attempt) {
        if (stopRequested && !force) {
            error = kSessionStopped;
            return fail();
        }
        if (!transport_->Write(request.data(), request.size(), error)) {
            return fail();
        }
        switch (AwaitAnswer(channel, answer, error)) {
            case AttemptResult::Answered:
                sequenceBit_ = !sequenceBit_;
                sequenceStart_ = false;
                return true;
            case AttemptResult::TransportFailed:
                return fail();
            case AttemptResult::Silent:
                ++silentAttempts;
                break;
            case AttemptResult::Heard:
                break;
        }
        parser_.Reset();
        staleAnswerPossible_ = true;
    }
    error = kTransactionTimedOut;
    return fail();
}

// Reads for one attempt, counted from its write. Any frame on the request's
// channel answers it, whichever attempt of this transaction it answers: the
// stale input was discarded before the first write, and a repetition is
// answered with the same answer. So a frame that follows a garbled one in the
// same read is taken, not thrown away with the attempt.
HostSession::AttemptResult HostSession::AwaitAnswer(std::uint8_t channel, cvhost::Frame& answer,
                                                    std::string& error) {
    std::uint8_t buffer[kReceiveBufferSize];
    AttemptResult result = AttemptResult::Silent;
    const Clock::time_point deadline = Clock::now() + kAttemptWindow;
    for (Clock::time_point now = Clock::now(); now < deadline; now = Clock::now()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1;
        const auto waitMs = static_cast<std::uint32_t>(std::min<long long>(kReadTimeoutMs, left));
        const std::int32_t count = transport_->Read(buffer, sizeof buffer, waitMs, error);
        if (count < 0) {
            return AttemptResult::TransportFailed;
        }
        if (count == 0) {
            continue;
        }
        result = AttemptResult::Heard;
        bool garbled = false;
        for (cvhost::ParseEvent& event : parser_.Push(buffer, static_cast<std::size_t>(count))) {
            if (event.kind != cvhost::ParseEvent::Kind::Frame) {
                garbled = true;
            } else if (event.frame.channel == channel) {
                answer = std::move(event.frame);
                return AttemptResult::Answered;
            }
        }
        if (garbled) {
            return result;  // send the same request again at once
        }
    }
    return result;
}

// One request is outstanding at a time, so anything the link holds before a
// request is written answers an earlier one: an answer that came after its
// attempt was given up, or the modem's answer to that attempt's repetition.
bool HostSession::DiscardStaleInput(std::string& error) {
    parser_.Reset();
    const std::uint32_t waitMs = staleAnswerPossible_ ? kStaleAnswerSettleMs : 0;
    staleAnswerPossible_ = false;
    std::uint8_t buffer[kReceiveBufferSize];
    for (int read = 0; read < kMaxDiscardReads; ++read) {
        const std::int32_t count = transport_->Read(buffer, sizeof buffer, waitMs, error);
        if (count < 0) {
            return false;
        }
        if (count == 0) {
            return true;
        }
    }
    return true;
}

bool HostSession::HostCommand(std::uint8_t channel, std::string_view text, cvhost::Frame& answer,
                              std::string& error) {
    return HostTransact(channel, true, Bytes(text.begin(), text.end()), answer, error, false,
                        kAttempts);
}

bool HostSession::PollStatus(std::string& error) {
    cvhost::Frame answer;
    if (!HostCommand(kStatusChannel, kStatusQuery, answer, error)) {
        return false;
    }
    if (answer.code != 7 || answer.payload.size() < kStatusByteCount) {
        return true;
    }
    const std::uint8_t b0 = answer.payload[0];
    const std::uint8_t b1 = answer.payload[1];
    if (cvhost::IsArqActiveStatus(b0)) {
        linkState = kLinkArq;
        arqConnected = true;
        linkCanSend = true;
    } else if (cvhost::IsS1S2FecTransmitStatus(b0, b1)) {
        linkState = kLinkFec;
        arqConnected = false;
        linkCanSend = true;
        WithQueues([](HostQueues& queues) {
            std::erase_if(queues.outboundQueue, [](const OutboundItem& item) {
                return item.kind != OutboundKind::TransmitText &&
                       item.kind != OutboundKind::TextFile;
            });
        });
    } else {
        arqConnected = false;
        linkCanSend = false;
        transferAbortRequested = true;
        WithQueues([](HostQueues& queues) { queues.outboundQueue.clear(); });
        // The stream parsers are not reset: the link's last data and echo may
        // still wait in the modem, and a record they cut off stays open for
        // its tail.
        WakeAll();
    }
    Post(UiEvent::Output(HostOutputKind::StatusBytes, std::move(answer.payload)));
    return true;
}

bool HostSession::PollExtended(std::string& error) {
    cvhost::Frame answer;
    if (!HostCommand(kPendingOutputChannel, kOutputQuery, answer, error)) {
        return false;
    }
    if (answer.code != 1 || answer.payload.empty()) {
        return true;
    }
    const auto& channels = answer.payload;
    const bool statusWaiting =
        std::find(channels.begin(), channels.end(), kStatusChannelMark) != channels.end();
    const bool linkWaiting =
        std::find(channels.begin(), channels.end(), static_cast<std::uint8_t>(linkChannel_ + 1)) !=
        channels.end();
    if (statusWaiting && !PollStatus(error)) {
        return false;
    }
    if (linkWaiting) {
        for (int poll = 0; poll < kMaxLinkChannelPolls; ++poll) {
            cvhost::Frame output;
            if (!HostCommand(linkChannel_, kOutputQuery, output, error)) {
                return false;
            }
            if (output.code == 0) {
                break;
            }
            DispatchHostResponse(output);
        }
    }
    return true;
}

void HostSession::PostHostError(const std::string& error) {
    if (!stopRequested) {
        Post(UiEvent::Error(error));
    }
}

}  // namespace corvina
