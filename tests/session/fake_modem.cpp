#include "fake_modem.h"

#include <algorithm>

namespace corvina::testing {
namespace {

constexpr std::uint8_t kEscape = 0x1B;
constexpr std::uint8_t kStatusChannel = 254;
constexpr std::uint8_t kOutputChannel = 255;
constexpr char kChatterLine[] = "busy channel monitor 14.0785 MHz\r\n";

class FakeTransport : public ITransport {
  public:
    explicit FakeTransport(FakeModem& modem) : modem_(modem) {}
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

}  // namespace

FakeModem::FakeModem(std::uint8_t linkChannel) : linkChannel_(linkChannel) {}

std::unique_ptr<ITransport> FakeModem::MakeTransport() {
    return std::make_unique<FakeTransport>(*this);
}

void FakeModem::SetHandler(Handler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    handler_ = std::move(handler);
}

void FakeModem::SetTerminalHandler(TerminalHandler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    terminalHandler_ = std::move(handler);
}

void FakeModem::SetChatter(bool chatter) {
    std::lock_guard<std::mutex> lock(mutex_);
    chatter_ = chatter;
}

void FakeModem::SetStatus(std::uint8_t status, std::uint8_t level, std::uint8_t speed) {
    std::lock_guard<std::mutex> lock(mutex_);
    status_[0] = status;
    status_[1] = level;
    status_[2] = speed;
    statusChanged_ = true;
}

void FakeModem::SetPendingFrames(std::uint32_t frames) {
    std::lock_guard<std::mutex> lock(mutex_);
    pendingFrames_ = frames;
}

void FakeModem::QueueLinkOutput(std::uint8_t code, const Bytes& data) {
    std::lock_guard<std::mutex> lock(mutex_);
    linkOutput_.emplace_back(code, data);
}

void FakeModem::QueueLinkOutputs(const std::vector<std::pair<std::uint8_t, Bytes>>& outputs,
                                 bool statusChanged) {
    std::lock_guard<std::mutex> lock(mutex_);
    linkOutput_.insert(linkOutput_.end(), outputs.begin(), outputs.end());
    statusChanged_ = statusChanged_ || statusChanged;
}

void FakeModem::SetCallSign(std::string call) {
    std::lock_guard<std::mutex> lock(mutex_);
    callSign_ = std::move(call);
}

void FakeModem::FailReads(std::string error) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        failure_ = std::move(error);
    }
    changed_.notify_all();
}

void FakeModem::SendLaterLocked(const Bytes& bytes) {
    later_.insert(later_.end(), bytes.begin(), bytes.end());
}

std::vector<FakeModem::Request> FakeModem::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::string FakeModem::TerminalLog() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return terminalLog_;
}

Bytes FakeModem::DataLog() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return dataLog_;
}

bool FakeModem::InHostmode() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return hostmode_;
}

bool FakeModem::WaitForRequest(const std::function<bool(const Request&)>& predicate,
                               std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(
        lock, timeout, [&] { return std::any_of(requests_.begin(), requests_.end(), predicate); });
}

bool FakeModem::WaitForRequests(const std::function<bool(const Request&)>& predicate,
                                std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
        return static_cast<std::size_t>(
                   std::count_if(requests_.begin(), requests_.end(), predicate)) >= count;
    });
}

bool FakeModem::Write(const std::uint8_t* data, std::size_t size, std::string& error) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!failure_.empty()) {
            error = failure_;
            return false;
        }
        if (!hostmode_) {
            HandleTerminalLocked(data, size);
        } else {
            for (const HostRequest& request : decoder_.Push(data, size)) {
                HandleRequestLocked(request);
            }
        }
    }
    changed_.notify_all();
    return true;
}

std::int32_t FakeModem::Read(std::uint8_t* buffer, std::size_t capacity, std::uint32_t timeoutMs,
                             std::string& error) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (chatter_ && !hostmode_ && output_.empty() && failure_.empty()) {
        changed_.wait_for(lock, std::chrono::milliseconds(5));
        if (!hostmode_) {
            output_.insert(output_.end(), std::begin(kChatterLine), std::end(kChatterLine) - 1);
        }
    }
    if (output_.empty()) {
        output_.swap(later_);
    }
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

void FakeModem::HandleTerminalLocked(const std::uint8_t* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        const char c = static_cast<char>(data[i]);
        terminalLog_.push_back(c);
        std::string written;
        std::string reply;
        if (data[i] == kEscape) {
            written = "\x1b";
            reply = "\r\ncmd: ";
        } else if (c == '\r') {
            written = terminalLine_ + "\r";
            terminalLine_.clear();
            reply = "\r\ncmd: ";
            if (written == "JHOST5\r") {
                reply.clear();
                hostmode_ = true;
                decoder_.Reset();
            }
        } else {
            terminalLine_.push_back(c);
            continue;
        }
        if (terminalHandler_) {
            terminalHandler_(written, reply);
        }
        output_.insert(output_.end(), reply.begin(), reply.end());
        if (hostmode_) {
            // Whatever follows "JHOST5" in this write is framed.
            for (const HostRequest& request : decoder_.Push(data + i + 1, size - i - 1)) {
                HandleRequestLocked(request);
            }
            return;
        }
    }
}

void FakeModem::HandleRequestLocked(const HostRequest& request) {
    Request record{request, Clock::now(), request.raw == lastRaw_ && !request.sequenceStart};
    requests_.push_back(record);
    if (!request.crcOk) {
        return;
    }
    // A repetition gets the answer of the original again, as a modem that
    // detects repetitions does; the handler may still garble it.
    // A late answer is on the wire before the answer to any later request.
    output_.insert(output_.end(), later_.begin(), later_.end());
    later_.clear();
    const Bytes original = record.repeated ? lastAnswer_ : DefaultAnswerLocked(request);
    Bytes answer = original;
    if (handler_) {
        handler_(record, answer);
    }
    lastRaw_ = request.raw;
    lastAnswer_ = original;
    output_.insert(output_.end(), answer.begin(), answer.end());
}

Bytes FakeModem::DefaultAnswerLocked(const HostRequest& request) {
    const std::string text = request.Text();
    if (!request.command) {
        dataLog_.insert(dataLog_.end(), request.payload.begin(), request.payload.end());
        return ResponseFrame(request.channel, 0);
    }
    if (request.channel == kOutputChannel && text == "G") {
        Bytes channels;
        if (statusChanged_) {
            channels.push_back(kStatusChannel + 1);
        }
        if (!linkOutput_.empty()) {
            channels.push_back(static_cast<std::uint8_t>(linkChannel_ + 1));
        }
        return ResponseFrame(kOutputChannel, 1, channels);
    }
    if (request.channel == kStatusChannel && text == "G 3") {
        statusChanged_ = false;
        return ResponseFrame(kStatusChannel, 7, Bytes(std::begin(status_), std::end(status_)));
    }
    if (text == "G") {
        if (linkOutput_.empty()) {
            return ResponseFrame(request.channel, 0);
        }
        auto [code, data] = linkOutput_.front();
        linkOutput_.pop_front();
        return ResponseFrame(request.channel, code, data);
    }
    if (text == "I") {
        return ResponseFrame(request.channel, 1, callSign_);
    }
    if (text == "C") {
        return ResponseFrame(request.channel, 1, std::string("CHANNEL NOT CONNECTED"));
    }
    if (text == "L") {
        return ResponseFrame(request.channel, 1,
                             "0 0 " + std::to_string(pendingFrames_) + " 0 0 0");
    }
    if (text == "JHOST0") {
        hostmode_ = false;
        return ResponseFrame(request.channel, 0);
    }
    return ResponseFrame(request.channel, 0);
}

}  // namespace corvina::testing
