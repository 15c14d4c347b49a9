#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/transport.h"
#include "support/hostmode_wire.h"

namespace corvina::testing {

// A scripted modem behind an ITransport, for unit tests of the session. It
// plays the terminal prompt and a plain CRC hostmode modem (answers to "G",
// "G 3", "L", "I", "C", channel data, "JHOST0"), records every byte and
// request, and lets a test replace any answer. Thread-safe: the session's
// threads use the transport while the test inspects and steers the modem.
// The FakeModem must outlive every transport it made.
class FakeModem {
  public:
    using Clock = std::chrono::steady_clock;

    struct Request {
        HostRequest request;
        Clock::time_point at;
        bool repeated = false;  // same bytes as the request before
    };

    // Decides the bytes sent back for a request; `answer` holds the default
    // answer and may be replaced (emptied for silence).
    using Handler = std::function<void(const Request&, Bytes& answer)>;
    // Decides what the terminal sends back for bytes written in terminal mode;
    // `reply` holds the default reply.
    using TerminalHandler = std::function<void(const std::string& written, std::string& reply)>;

    explicit FakeModem(std::uint8_t linkChannel = 4);

    std::unique_ptr<ITransport> MakeTransport();

    void SetHandler(Handler handler);
    void SetTerminalHandler(TerminalHandler handler);
    void SetChatter(bool chatter);  // terminal mode prints on every read

    // Modem state the default answers use.
    void SetStatus(std::uint8_t status, std::uint8_t level, std::uint8_t speed);
    void SetPendingFrames(std::uint32_t frames);
    void QueueLinkOutput(std::uint8_t code, const Bytes& data);
    // Queues several outputs and, with `statusChanged`, flags a status change,
    // all at once so no poll sees only part of it.
    void QueueLinkOutputs(const std::vector<std::pair<std::uint8_t, Bytes>>& outputs,
                          bool statusChanged);
    void SetCallSign(std::string call);
    // The next Read fails with `error`, as a dead link does; all later ones too.
    void FailReads(std::string error);
    // From a handler only (the modem is locked then): `bytes` reach the reader
    // after the answer, as an answer that arrives late does: on the next Read
    // that finds nothing else, or before the answer to the next request.
    void SendLaterLocked(const Bytes& bytes);

    std::vector<Request> Requests() const;
    std::string TerminalLog() const;  // every byte written while in terminal mode
    Bytes DataLog() const;            // channel data accepted in hostmode
    bool InHostmode() const;

    // Waits until a request satisfies `predicate`; false on time-out.
    bool WaitForRequest(const std::function<bool(const Request&)>& predicate,
                        std::chrono::milliseconds timeout) const;
    // Waits until `count` requests satisfy `predicate`; false on time-out.
    bool WaitForRequests(const std::function<bool(const Request&)>& predicate, std::size_t count,
                         std::chrono::milliseconds timeout) const;

    // ITransport, used through MakeTransport's handle.
    bool Write(const std::uint8_t* data, std::size_t size, std::string& error);
    std::int32_t Read(std::uint8_t* buffer, std::size_t capacity, std::uint32_t timeoutMs,
                      std::string& error);

  private:
    void HandleTerminalLocked(const std::uint8_t* data, std::size_t size);
    void HandleRequestLocked(const HostRequest& request);
    Bytes DefaultAnswerLocked(const HostRequest& request);

    const std::uint8_t linkChannel_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    Handler handler_;
    TerminalHandler terminalHandler_;
    bool chatter_ = false;
    bool hostmode_ = false;
    std::string terminalLine_;
    std::string terminalLog_;
    RequestDecoder decoder_;
    std::vector<Request> requests_;
    Bytes lastRaw_;
    Bytes lastAnswer_;
    Bytes output_;  // bytes waiting to be read
    Bytes later_;   // bytes that follow once output_ has been read
    Bytes dataLog_;
    std::string failure_;
    std::uint8_t status_[3] = {0x07, 0, 0};
    bool statusChanged_ = true;
    std::uint32_t pendingFrames_ = 0;
    std::deque<std::pair<std::uint8_t, Bytes>> linkOutput_;
    std::string callSign_ = "AB1CD";
};

}  // namespace corvina::testing
