#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "link/transport.h"
#include "support/hostmode_wire.h"

namespace corvina::testing {

// As much of a modem as the answers velksim never gives need: no prompt until
// the fourth escape and none after a line, then CRC hostmode at "JHOST5" with a
// status showing an ARQ link, a garbled answer to "L" and code 0 for
// everything else. With `failure` set every read and write fails.
struct ModemScript {
    std::string failure;
    std::mutex mutex;  // guards the terminal log, written by the session's threads
    std::string terminalLog;
};

class ScriptedModem : public ITransport {
  public:
    explicit ScriptedModem(std::shared_ptr<ModemScript> script) : script_(std::move(script)) {}
    bool Open(std::string&) override { return true; }
    void Close() override {}
    std::string Description() const override { return "scripted modem"; }

    bool Write(const std::uint8_t* data, std::size_t size, std::string& error) override {
        std::lock_guard<std::mutex> lock(script_->mutex);
        std::size_t at = 0;
        for (; at < size && !hostmode_; ++at) {
            script_->terminalLog.push_back(static_cast<char>(data[at]));
            line_ = data[at] == 0x1B ? "" : line_ + static_cast<char>(data[at]);
            if (data[at] == 0x1B && ++escapes_ > 3) {
                Send(ToBytes("\r\ncmd: "));
            }
            hostmode_ = line_ == "JHOST5\r";
            line_ = data[at] == '\r' ? "" : line_;
        }
        for (const HostRequest& request : decoder_.Push(data + at, size - at)) {
            Send(Answer(request));
        }
        error = script_->failure;
        return error.empty();
    }

    std::int32_t Read(std::uint8_t* buffer, std::size_t capacity, std::uint32_t timeoutMs,
                      std::string& error) override {
        std::unique_lock<std::mutex> lock(script_->mutex);
        arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [&] { return !output_.empty() || !script_->failure.empty(); });
        error = script_->failure;
        const std::size_t count = std::min(capacity, output_.size());
        std::copy_n(output_.begin(), count, buffer);
        output_.erase(output_.begin(), output_.begin() + static_cast<std::ptrdiff_t>(count));
        return error.empty() ? static_cast<std::int32_t>(count) : -1;
    }

  private:
    void Send(const Bytes& bytes) {
        output_.insert(output_.end(), bytes.begin(), bytes.end());
        arrived_.notify_all();
    }
    Bytes Answer(const HostRequest& request) {
        if (request.channel == 255) {
            return ResponseFrame(255, 1,
                                 std::exchange(statusChanged_, false) ? Bytes{255} : Bytes{});
        }
        if (request.channel == 254) {
            return ResponseFrame(254, 7, Bytes{0x23, 3, 1});
        }
        return request.command && request.Text() == "L" ? ResponseFrame(request.channel, 1, "1 2 3")
                                                        : ResponseFrame(request.channel, 0);
    }

    std::shared_ptr<ModemScript> script_;
    std::condition_variable arrived_;
    RequestDecoder decoder_;
    std::string line_;
    int escapes_ = 0;
    bool hostmode_ = false;
    bool statusChanged_ = true;
    Bytes output_;
};

}  // namespace corvina::testing
