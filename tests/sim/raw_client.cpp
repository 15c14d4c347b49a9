#include "raw_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

#include "cvhost/request.h"

namespace velksim::test {

using Clock = std::chrono::steady_clock;

std::string Text(const cvhost::Frame& frame) {
    return std::string(frame.payload.begin(), frame.payload.end());
}

bool RawClient::ConnectTcp(std::uint16_t port) {
    fd_.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        fd_.Reset();
        return false;
    }
    const int one = 1;
    ::setsockopt(fd_.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    tcp_ = true;
    return true;
}

bool RawClient::OpenDevice(const std::string& path) {
    fd_.Reset(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    tcp_ = false;
    return fd_.valid();
}

bool RawClient::Write(const std::vector<std::uint8_t>& bytes) {
    const std::vector<std::uint8_t> wire = tcp_ ? TelnetCodec::Encode(bytes) : bytes;
    return WriteAll(fd_.get(), wire.data(), wire.size(), 2000ms);
}

std::vector<std::uint8_t> RawClient::ReadChunk(std::chrono::milliseconds wait, bool& closed) {
    closed = false;
    pollfd p{fd_.get(), POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(std::max<long>(wait.count(), 0))) <= 0) {
        return {};
    }
    std::uint8_t buffer[8192];
    const ssize_t n = (p.revents & POLLIN) != 0 ? ::read(fd_.get(), buffer, sizeof buffer) : 0;
    if (n <= 0) {
        closed = true;
        return {};
    }
    return tcp_ ? telnet_.Decode(buffer, static_cast<std::size_t>(n))
                : std::vector<std::uint8_t>(buffer, buffer + n);
}

std::vector<std::uint8_t> RawClient::ReadBytes(std::chrono::milliseconds duration,
                                               std::size_t enough) {
    std::vector<std::uint8_t> out = std::move(leftover_);
    leftover_.clear();
    const auto end = Clock::now() + duration;
    bool closed = false;
    while (out.size() < enough && !closed && Clock::now() < end) {
        const auto chunk = ReadChunk(
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()), closed);
        out.insert(out.end(), chunk.begin(), chunk.end());
    }
    return out;
}

std::string RawClient::ReadText(std::chrono::milliseconds duration, const std::string& needle) {
    std::string text;
    const auto end = Clock::now() + duration;
    while (Clock::now() < end) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        const auto chunk = ReadBytes(needle.empty() ? left : std::min(left, 20ms));
        text.append(chunk.begin(), chunk.end());
        if (!needle.empty() && text.find(needle) != std::string::npos) {
            break;
        }
    }
    return text;
}

bool RawClient::WaitClosed(std::chrono::milliseconds duration) {
    const auto end = Clock::now() + duration;
    bool closed = false;
    while (!closed && Clock::now() < end) {
        ReadChunk(20ms, closed);
    }
    return closed;
}

bool RawClient::EnterHostmode() {
    for (int attempt = 0; attempt < 3; ++attempt) {
        Write(std::vector<std::uint8_t>{0x1B});
        if (ReadText(1000ms, "cmd: ").find("cmd: ") != std::string::npos) {
            Write("JHOST5\r");
            ReadBytes(30ms);
            sequenceBit = false;
            sequenceStart = true;
            return true;
        }
    }
    return false;
}

std::optional<cvhost::Frame> RawClient::AwaitAnswer(std::uint8_t channel,
                                                    std::chrono::milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    bool closed = false;
    while (!closed && Clock::now() < end) {
        const std::vector<std::uint8_t> payload = ReadChunk(
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()), closed);
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
                    sequenceBit = !sequenceBit;
                    sequenceStart = false;
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
                                                 const std::vector<std::uint8_t>& payload,
                                                 std::chrono::milliseconds timeout) {
    lastRequest_ = cvhost::BuildRequest(channel, command, sequenceBit, sequenceStart, payload);
    lastChannel_ = channel;
    if (!Write(lastRequest_)) {
        return std::nullopt;
    }
    return AwaitAnswer(channel, timeout);
}

std::optional<cvhost::Frame> RawClient::Repeat(std::chrono::milliseconds timeout) {
    parser_.Reset();
    if (!Write(lastRequest_)) {
        return std::nullopt;
    }
    // The sequence bits stay as the first answer left them.
    const bool bit = sequenceBit;
    const bool start = sequenceStart;
    auto answer = AwaitAnswer(lastChannel_, timeout);
    sequenceBit = bit;
    sequenceStart = start;
    return answer;
}

std::vector<cvhost::Frame> RawClient::Drain(std::uint8_t channel) {
    std::vector<cvhost::Frame> frames = std::move(stash_);
    stash_.clear();
    for (int i = 0; i < 100000; ++i) {
        const auto answer = Command(channel, "G");
        if (!answer || answer->code == 0) {
            break;
        }
        frames.push_back(*answer);
    }
    return frames;
}

std::vector<std::uint8_t> RawClient::Status() {
    const auto answer = Command(254, "G 3");
    if (!answer || answer->code != 7) {
        return {};
    }
    return answer->payload;
}

bool RawClient::WaitLinkMessage(std::uint8_t channel, const std::string& text,
                                std::chrono::milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    while (Clock::now() < end) {
        for (;;) {
            const auto answer = Command(channel, "G");
            if (!answer || answer->code == 0) {
                break;
            }
            if (answer->code == 3 && Text(*answer).find(text) != std::string::npos) {
                return true;
            }
            stash_.push_back(*answer);
        }
        std::this_thread::sleep_for(5ms);
    }
    return false;
}

}  // namespace velksim::test
