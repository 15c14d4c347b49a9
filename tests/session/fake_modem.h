#pragma once

#include <algorithm>
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

// A scripted modem behind an ITransport: it plays the terminal prompt and a
// plain CRC hostmode modem, records every request, and lets a test replace any
// answer. The session's threads use the transport while the test steers the
// modem, hence the lock. The FakeModem must outlive every transport it made.
class FakeModem {
  public:
    using Clock = std::chrono::steady_clock;
    struct Request {
        HostRequest request;
        Clock::time_point at;
        bool repeated = false;  // same bytes as the request before
    };
    // Runs with the modem locked; `answer` holds the default and may be
    // replaced (emptied for silence).
    using Handler = std::function<void(const Request&, Bytes& answer)>;
    // `written` is an escape or a line ending in CR; `reply` holds the default.
    using TerminalHandler = std::function<void(const std::string& written, std::string& reply)>;
    using Output = std::vector<std::pair<std::uint8_t, Bytes>>;

    std::unique_ptr<ITransport> MakeTransport() { return std::make_unique<Transport>(*this); }

    void SetHandler(Handler handler) {
        Locked([&] { handler_ = std::move(handler); });
    }
    void SetTerminalHandler(TerminalHandler handler) {
        Locked([&] { terminalHandler_ = std::move(handler); });
    }
    void SetStatus(std::uint8_t status, std::uint8_t level, std::uint8_t speed) {
        Locked([&] {
            status_ = {status, level, speed};
            statusChanged_ = true;
        });
    }
    void SetPendingFrames(std::uint32_t frames) {
        Locked([&] { pendingFrames_ = frames; });
    }
    // Link output the next polls fetch; all at once, so no poll sees only part.
    void QueueLinkOutputs(const Output& outputs) {
        Locked([&] { linkOutput_.insert(linkOutput_.end(), outputs.begin(), outputs.end()); });
    }
    // Every later Read and Write fails with `error`, as on a dead link.
    void FailReads(std::string error) {
        Locked([&] { failure_ = std::move(error); });
    }

    std::vector<Request> Requests() const {
        return Locked([&] { return requests_; });
    }
    std::string TerminalLog() const {
        return Locked([&] { return terminalLog_; });
    }
    Bytes DataLog() const {
        return Locked([&] { return dataLog_; });
    }
    bool InHostmode() const {
        return Locked([&] { return hostmode_; });
    }

  private:
    class Transport : public ITransport {
      public:
        explicit Transport(FakeModem& modem) : modem_(modem) {}
        bool Open(std::string&) override { return true; }
        void Close() override {}
        bool Write(const std::uint8_t* data, std::size_t size, std::string& error) override {
            return modem_.Write(data, size, error);
        }
        std::int32_t Read(std::uint8_t* buffer, std::size_t capacity, std::uint32_t timeoutMs,
                          std::string& error) override {
            return modem_.Read(buffer, capacity, timeoutMs, error);
        }
        std::string Description() const override { return "fake modem"; }

      private:
        FakeModem& modem_;
    };

    template <typename F>
    auto Locked(F f) const -> decltype(f()) {
        std::lock_guard<std::mutex> lock(mutex_);
        changed_.notify_all();
        return f();
    }

    bool Write(const std::uint8_t* data, std::size_t size, std::string& error) {
        return Locked([&] {
            if (!failure_.empty()) {
                error = failure_;
                return false;
            }
            for (std::size_t i = 0; i < size && !hostmode_; ++i) {
                HandleTerminalLocked(data[i]);
                if (hostmode_) {  // whatever follows "JHOST5" in this write is framed
                    data += i + 1;
                    size -= i + 1;
                }
            }
            if (hostmode_) {
                for (const HostRequest& request : decoder_.Push(data, size)) {
                    HandleRequestLocked(request);
                }
            }
            return true;
        });
    }

    std::int32_t Read(std::uint8_t* buffer, std::size_t capacity, std::uint32_t timeoutMs,
                      std::string& error) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [&] { return !output_.empty() || !failure_.empty(); });
        if (!failure_.empty()) {
            error = failure_;
            return -1;
        }
        const std::size_t count = std::min(capacity, output_.size());
        std::copy_n(output_.begin(), count, buffer);
        output_.erase(output_.begin(), output_.begin() + static_cast<std::ptrdiff_t>(count));
        return static_cast<std::int32_t>(count);
    }

    void HandleTerminalLocked(std::uint8_t byte) {
        terminalLog_.push_back(static_cast<char>(byte));
        std::string written = "\x1b";
        if (byte == '\r') {
            written = terminalLine_ + "\r";
            terminalLine_.clear();
        } else if (byte != 0x1B) {
            terminalLine_.push_back(static_cast<char>(byte));
            return;
        }
        std::string reply = "\r\ncmd: ";
        if (written == "JHOST5\r") {
            reply.clear();
            hostmode_ = true;
            decoder_.Reset();
        }
        if (terminalHandler_) {
            terminalHandler_(written, reply);
        }
        output_.insert(output_.end(), reply.begin(), reply.end());
    }

    void HandleRequestLocked(const HostRequest& request) {
        Request record{request, Clock::now(), request.raw == lastRaw_ && !request.sequenceStart};
        requests_.push_back(record);
        if (!request.crcOk) {
            return;
        }
        // A repetition gets the original's answer again, as a modem that
        // detects repetitions sends it.
        const Bytes original = record.repeated ? lastAnswer_ : DefaultAnswerLocked(request);
        Bytes answer = original;
        if (handler_) {
            handler_(record, answer);
        }
        lastRaw_ = request.raw;
        lastAnswer_ = original;
        output_.insert(output_.end(), answer.begin(), answer.end());
    }

    Bytes DefaultAnswerLocked(const HostRequest& request) {
        constexpr std::uint8_t kStatusChannel = 254;
        constexpr std::uint8_t kOutputChannel = 255;
        const std::string text = request.Text();
        if (!request.command) {
            dataLog_.insert(dataLog_.end(), request.payload.begin(), request.payload.end());
        } else if (request.channel == kOutputChannel && text == "G") {
            Bytes channels;
            if (statusChanged_) {
                channels.push_back(kStatusChannel + 1);
            }
            if (!linkOutput_.empty()) {
                channels.push_back(4 + 1);  // the link channel
            }
            return ResponseFrame(kOutputChannel, 1, channels);
        } else if (request.channel == kStatusChannel && text == "G 3") {
            statusChanged_ = false;
            return ResponseFrame(kStatusChannel, 7, Bytes(status_.begin(), status_.end()));
        } else if (text == "G" && !linkOutput_.empty()) {
            auto [code, data] = linkOutput_.front();
            linkOutput_.pop_front();
            return ResponseFrame(request.channel, code, data);
        } else if (text == "I") {
            return ResponseFrame(request.channel, 1, std::string("ab1cd"));  // taken in capitals
        } else if (text == "C") {
            return ResponseFrame(request.channel, 1, std::string("CHANNEL NOT CONNECTED"));
        } else if (text == "L") {
            return ResponseFrame(request.channel, 1,
                                 "0 0 " + std::to_string(pendingFrames_) + " 0 0 0");
        } else if (text == "JHOST0") {
            hostmode_ = false;
        }
        return ResponseFrame(request.channel, 0);
    }

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    Handler handler_;
    TerminalHandler terminalHandler_;
    bool hostmode_ = false;
    std::string terminalLine_;
    std::string terminalLog_;
    RequestDecoder decoder_;
    std::vector<Request> requests_;
    Bytes lastRaw_;
    Bytes lastAnswer_;
    Bytes output_;  // bytes waiting to be read
    Bytes dataLog_;
    std::string failure_;
    std::vector<std::uint8_t> status_ = {0x07, 0, 0};
    bool statusChanged_ = true;
    std::uint32_t pendingFrames_ = 0;
    std::deque<std::pair<std::uint8_t, Bytes>> linkOutput_;
};

}  // namespace corvina::testing
