#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "link/transport.h"
#include "support/hostmode_wire.h"

namespace corvina::testing {

// As much of a modem as the answers velksim never gives need: no prompt until
// the fourth escape and none after a line, then CRC hostmode at "JHOST5" with a
// status showing an ARQ link, `answers` for the commands named there and code
// 0 for everything else. With `failure` set every read and write fails.
struct ModemScript {
    std::map<std::string, Bytes> answers;
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
        error = script_->failure;
        for (std::size_t i = 0; i < size && !hostmode_; ++i) {
            script_->terminalLog.push_back(static_cast<char>(data[i]));
            line_.push_back(static_cast<char>(data[i]));
            if (data[i] == 0x1B && ++escapes_ > 3) {
                Send(ToBytes("\r\ncmd: "));
            }
            hostmode_ = line_.ends_with("JHOST5\r");
            line_ = data[i] == '\r' || data[i] == 0x1B ? "" : line_;
            if (hostmode_) {
                data += i + 1;
                size -= i + 1;
            }
        }
        for (const HostRequest& request : hostmode_ ? decoder_.Push(data, size) : NoRequests()) {
            Send(Answer(request));
        }
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
    static std::vector<HostRequest> NoRequests() { return {}; }
    void Send(const Bytes& bytes) {
        output_.insert(output_.end(), bytes.begin(), bytes.end());
        arrived_.notify_all();
    }
    Bytes Answer(const HostRequest& request) {
        const std::string text = request.Text();
        if (request.channel == 255) {
            return ResponseFrame(255, 1,
                                 std::exchange(statusChanged_, false) ? Bytes{255} : Bytes{});
        }
        if (request.channel == 254) {
            return ResponseFrame(254, 7, Bytes{0x23, 3, 1});
        }
        const auto answer = script_->answers.find(text);
        return request.command && answer != script_->answers.end()
                   ? answer->second
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
