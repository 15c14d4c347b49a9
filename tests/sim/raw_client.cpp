#include "raw_client.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "cvhost/request.h"

namespace velksim::test {

using Clock = std::chrono::steady_clock;

namespace {
std::chrono::milliseconds Left(Clock::time_point end) {
    return std::max(0ms, std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()));
}
}  // namespace

bool RawClient::ConnectTcp(std::uint16_t port) {
    fd_.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int one = 1;
    ::setsockopt(fd_.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    tcp_ = true;
    return ::connect(fd_.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
}

bool RawClient::OpenDevice(const std::string& path) {
    fd_.Reset(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    tcp_ = false;
    return fd_.valid();
}

bool RawClient::Write(const Bytes& bytes) {
    const Bytes wire = tcp_ ? TelnetCodec::Encode(bytes) : bytes;
    return WriteAll(fd_.get(), wire.data(), wire.size(), 2000ms);
}

Bytes RawClient::ReadChunk(std::chrono::milliseconds wait, bool& closed) {
    pollfd p{fd_.get(), POLLIN, 0};
    closed = false;
    if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0) {
        return {};
    }
    std::uint8_t buffer[8192];
    const ssize_t n = (p.revents & POLLIN) != 0 ? ::read(fd_.get(), buffer, sizeof buffer) : 0;
    closed = n <= 0;
    if (closed) {
        return {};
    }
    return tcp_ ? telnet_.Decode(buffer, static_cast<std::size_t>(n)) : Bytes(buffer, buffer + n);
}

std::string RawClient::Read(std::chrono::milliseconds duration, const std::string& needle) {
    std::string text(leftover_.begin(), leftover_.end());
    leftover_.clear();
    const auto end = Clock::now() + duration;
    for (bool closed = false; !closed && Clock::now() < end &&
                              (needle.empty() || text.find(needle) == std::string::npos);) {
        const Bytes chunk =
            ReadChunk(needle.empty() ? Left(end) : std::min(Left(end), 20ms), closed);
        text.append(chunk.begin(), chunk.end());
    }
    return text;
}

bool RawClient::WaitClosed(std::chrono::milliseconds duration) {
    bool closed = false;
    for (const auto end = Clock::now() + duration; !closed && Clock::now() < end;) {
        ReadChunk(20ms, closed);
    }
    return closed;
}

bool RawClient::EnterHostmode() {
    for (int attempt = 0; attempt < 3; ++attempt) {
        Write(Bytes{0x1B});
        if (Read(1000ms, "cmd: ").find("cmd: ") != std::string::npos) {
            Write("JHOST5\r");
            Read(30ms);
            sequenceBit_ = false;
            sequenceStart_ = true;
            return true;
        }
    }
    return false;
}

std::optional<cvhost::Frame> RawClient::AwaitAnswer(std::uint8_t channel,
                                                    std::chrono::milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    for (bool closed = false; !closed && Clock::now() < end;) {
        const Bytes payload = ReadChunk(Left(end), closed);
        // Byte by byte, so that what follows the answer (a prompt after
        // JHOST0) stays readable.
        std::vector<cvhost::ParseEvent> found;
        for (std::size_t i = 0; i < payload.size(); ++i) {
            found.clear();
            parser_.Consume(payload[i], found);
            for (const cvhost::ParseEvent& event : found) {
                events_.push_back(event);
                if (event.kind == cvhost::ParseEvent::Kind::Frame &&
                    event.frame.channel == channel) {
                    sequenceBit_ = !sequenceBit_;
                    sequenceStart_ = false;
                    leftover_.assign(payload.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                     payload.end());
                    return event.frame;
                }
            }
        }
    }
    return std::nullopt;
}

std::optional<cvhost::Frame> RawClient::Transact(std::uint8_t channel, bool command,
                                                 const Bytes& payload,
                                                 std::chrono::milliseconds timeout) {
    lastRequest_ = cvhost::BuildRequest(channel, command, sequenceBit_, sequenceStart_, payload);
    lastChannel_ = channel;
    return Write(lastRequest_) ? AwaitAnswer(channel, timeout) : std::nullopt;
}

std::optional<cvhost::Frame> RawClient::Repeat() {
    parser_.Reset();
    // The sequence bits stay as the first answer left them.
    const bool bit = sequenceBit_;
    const bool start = sequenceStart_;
    auto answer = Write(lastRequest_) ? AwaitAnswer(lastChannel_, 1000ms) : std::nullopt;
    sequenceBit_ = bit;
    sequenceStart_ = start;
    return answer;
}

Bytes RawClient::Status() {
    const auto answer = Command(254, "G 3");
    return answer && answer->code == 7 ? answer->payload : Bytes{};
}

bool RawClient::WaitLinkMessage(std::uint8_t channel, const std::string& text,
                                std::chrono::milliseconds timeout, Bytes* data) {
    for (const auto end = Clock::now() + timeout; Clock::now() < end;) {
        for (auto answer = Command(channel, "G"); answer && answer->code != 0;
             answer = Command(channel, "G")) {
            if (answer->code == 3 && Text(*answer).find(text) != std::string::npos) {
                return true;
            }
            if (answer->code == 7 && data != nullptr) {
                data->insert(data->end(), answer->payload.begin(), answer->payload.end());
            }
        }
        std::this_thread::sleep_for(5ms);
    }
    return false;
}

}  // namespace velksim::test
