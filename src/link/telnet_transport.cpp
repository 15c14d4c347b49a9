#include "link/telnet_transport.h"

#include <algorithm>
#include <climits>
#include <deque>
#include <vector>

#include "link/socket_layer.h"
#include "link/system_error.h"
#include "link/telnet_receiver.h"

namespace corvina {
namespace {

constexpr const char* kNotConnected = "Telnet link is not connected";
constexpr std::size_t kReceiveChunkBytes = 8192;
constexpr std::size_t kSendChunkBytes = 65536;
constexpr int kSocketBufferBytes = 262144;

// A peer that takes nothing for this long makes a send fail instead of
// blocking the session's worker without end.
constexpr std::uint32_t kSendStallLimitMs = 20000;

class TelnetTransport final : public ITransport {
  public:
    TelnetTransport(std::string host, std::uint16_t port, std::chrono::milliseconds connectLimit)
        : host_(std::move(host)), port_(port), connectLimit_(connectLimit) {}
    ~TelnetTransport() override { Close(); }

    bool Open(std::string& error) override;
    void Close() override;
    bool Write(const std::uint8_t* data, std::size_t size, std::string& error) override;
    std::int32_t Read(std::uint8_t* buffer, std::size_t capacity, std::uint32_t timeoutMs,
                      std::string& error) override;
    void Interrupt() override { cancel_.Raise(); }
    std::string Description() const override { return host_ + ":" + std::to_string(port_); }

  private:
    // Tries one resolved address; returns 0 with `socket_` set on success, else
    // the error code to remember.
    std::uint32_t TryConnect(const addrinfo& entry);
    bool SendAll(const std::uint8_t* data, std::size_t size);
    void ReleaseSocket();

    std::string host_;
    std::uint16_t port_;
    std::chrono::milliseconds connectLimit_;
    net::SocketHandle socket_ = net::kInvalidSocket;
    net::WaitCancel cancel_;
    TelnetReceiver receiver_;
    std::deque<std::uint8_t> receiveQueue_;
};

std::uint32_t TelnetTransport::TryConnect(const addrinfo& entry) {
    const net::SocketHandle candidate =
        net::OpenSocket(entry.ai_family, entry.ai_socktype, entry.ai_protocol);
    if (candidate == net::kInvalidSocket) {
        return net::LastSocketError();
    }
    std::uint32_t result = 0;
    net::SetBlocking(candidate, false);
    if (connect(candidate, entry.ai_addr, static_cast<socklen_t>(entry.ai_addrlen)) != 0) {
        result = net::LastSocketError();
        if (net::IsConnectPending(result)) {
            const auto limitMs = static_cast<std::uint32_t>(
                std::clamp<long long>(connectLimit_.count(), 0, UINT32_MAX));
            const int ready = net::WaitSocket(candidate, true, limitMs, &cancel_);
            if (ready > 0) {
                int socketError = 0;
                socklen_t length = sizeof socketError;
                if (getsockopt(candidate, SOL_SOCKET, SO_ERROR,
                               reinterpret_cast<char*>(&socketError), &length) != 0) {
                    result = net::LastSocketError();
                } else {
                    result = static_cast<std::uint32_t>(socketError);
                }
            } else if (ready == 0) {
                result = net::kTimedOut;
            } else {
                result = net::LastSocketError();
            }
        }
    }
    net::SetBlocking(candidate, true);
    if (result != 0) {
        net::CloseSocket(candidate);
        return result;
    }
    socket_ = candidate;
    return 0;
}

bool TelnetTransport::Open(std::string& error) {
    ReleaseSocket();
    receiveQueue_.clear();

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* resolved = nullptr;
    const int status = getaddrinfo(host_.c_str(), std::to_string(port_).c_str(), &hints, &resolved);
    if (status != 0) {
        error = "Cannot resolve modem address: " + ResolverErrorText(status);
        return false;
    }
    std::uint32_t remembered = net::kConnectionRefused;
    // The resolver cannot be interrupted; its own time-outs bound the wait.
    for (const addrinfo* entry = resolved; entry != nullptr; entry = entry->ai_next) {
        remembered = cancel_.raised() ? net::kCancelled : TryConnect(*entry);
        if (remembered == 0 || remembered == net::kCancelled) {
            break;
        }
    }
    freeaddrinfo(resolved);
    if (socket_ == net::kInvalidSocket) {
        error = "Cannot connect to " + Description() + ": " + SystemErrorText(remembered);
        return false;
    }

    const int bufferBytes = kSocketBufferBytes;
    setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bufferBytes),
               sizeof bufferBytes);
    setsockopt(socket_, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&bufferBytes),
               sizeof bufferBytes);
#ifdef _WIN32
    const DWORD sendLimit = kSendStallLimitMs;
#else
    const timeval sendLimit{kSendStallLimitMs / 1000, 0};
#endif
    setsockopt(socket_, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&sendLimit),
               sizeof sendLimit);
    const int on = 1;
    if (setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                   sizeof on) != 0) {
        error = "Cannot enable low-latency Telnet transport: " +
                SystemErrorText(net::LastSocketError());
        Close();
        return false;
    }
    receiver_.Reset();
    receiveQueue_.clear();
    return true;
}

void TelnetTransport::ReleaseSocket() {
    if (socket_ != net::kInvalidSocket) {
        net::ShutdownAndClose(socket_);
        socket_ = net::kInvalidSocket;
    }
}

void TelnetTransport::Close() {
    ReleaseSocket();
    receiveQueue_.clear();
}

bool TelnetTransport::SendAll(const std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const long sent =
            net::SendSome(socket_, data + done, std::min(size - done, kSendChunkBytes));
        if (sent <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

bool TelnetTransport::Write(const std::uint8_t* data, std::size_t size, std::string& error) {
    if (socket_ == net::kInvalidSocket) {
        error = kNotConnected;
        return false;
    }
    const std::vector<std::uint8_t> wire = TelnetEscape(data, size);
    if (wire.empty()) {
        return true;
    }
    if (!SendAll(wire.data(), wire.size())) {
        error = "Telnet send failed: " + SystemErrorText(net::LastSocketError());
        Close();
        return false;
    }
    return true;
}

std::int32_t TelnetTransport::Read(std::uint8_t* buffer, std::size_t capacity,
                                   std::uint32_t timeoutMs, std::string& error) {
    // The queue is served first: when an option answer could not be sent the
    // link is already closed, but the rest of that receive is still owed.
    if (receiveQueue_.empty()) {
        if (socket_ == net::kInvalidSocket) {
            error = kNotConnected;
            return -1;
        }
        const int ready = net::WaitSocket(socket_, false, timeoutMs);
        if (ready == 0) {
            return 0;
        }
        if (ready < 0) {
            error = "Telnet receive wait failed: " + SystemErrorText(net::LastSocketError());
            return -1;
        }
        std::uint8_t chunk[kReceiveChunkBytes];
        const long got = net::ReceiveSome(socket_, chunk, sizeof chunk);
        if (got == 0) {
            error = "The modem closed the Telnet connection";
            Close();
            return -1;
        }
        if (got < 0) {
            error = "Telnet receive failed: " + SystemErrorText(net::LastSocketError());
            Close();
            return -1;
        }
        TelnetReply reply{};
        for (long i = 0; i < got; ++i) {
            if (!receiver_.Feed(chunk[i], receiveQueue_, reply)) {
                continue;
            }
            // A failed answer ends the link, but the payload of this receive is
            // still delivered whole; the caller learns of the loss next call.
            if (socket_ != net::kInvalidSocket && !SendAll(reply.data(), reply.size())) {
                ReleaseSocket();
            }
        }
    }
    const std::size_t count =
        std::min({receiveQueue_.size(), capacity, static_cast<std::size_t>(INT32_MAX)});
    std::copy_n(receiveQueue_.begin(), count, buffer);
    receiveQueue_.erase(receiveQueue_.begin(), receiveQueue_.begin() + static_cast<long>(count));
    return static_cast<std::int32_t>(count);
}

}  // namespace

std::unique_ptr<ITransport> CreateTelnetTransport(const std::string& host, std::uint16_t port) {
    return std::make_unique<TelnetTransport>(host, port, kTelnetConnectLimit);
}

std::unique_ptr<ITransport> CreateTelnetTransport(const std::string& host, std::uint16_t port,
                                                  std::chrono::milliseconds connectLimit) {
    return std::make_unique<TelnetTransport>(host, port, connectLimit);
}

}  // namespace corvina
