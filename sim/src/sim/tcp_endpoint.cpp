#include "sim/tcp_endpoint.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "sim/chatter_clock.h"
#include "sim/modem_core.h"
#include "sim/telnet.h"

namespace velksim {
namespace {

constexpr int kPollMs = 250;
constexpr std::size_t kReadSize = 8192;
constexpr std::chrono::milliseconds kWriteDeadline{2000};

}  // namespace

TcpEndpoint::TcpEndpoint(ModemCore& modem, std::string address, std::uint16_t port,
                         bool telnetOffers)
    : modem_(modem), address_(std::move(address)), port_(port), telnetOffers_(telnetOffers) {}

TcpEndpoint::~TcpEndpoint() {
    Stop();
}

bool TcpEndpoint::Start(std::string& error) {
    if (!wake_.Open(error)) {
        return false;
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port_);
    if (::inet_pton(AF_INET, address_.c_str(), &addr.sin_addr) != 1) {
        error = "Invalid listen address " + address_;
        return false;
    }
    // Non-blocking, so that turning away extra clients never waits.
    listener_.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!listener_.valid()) {
        error = ErrnoText("Cannot create listening socket");
        return false;
    }
    const int one = 1;
    ::setsockopt(listener_.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(listener_.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        error = ErrnoText("Cannot listen on " + address_ + ":" + std::to_string(port_));
        listener_.Reset();
        return false;
    }
    if (::listen(listener_.get(), 4) != 0) {
        error = ErrnoText("Cannot listen on " + address_);
        listener_.Reset();
        return false;
    }
    socklen_t len = sizeof addr;
    ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&addr), &len);
    boundPort_ = ntohs(addr.sin_port);
    stop_ = false;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void TcpEndpoint::Stop() {
    stop_ = true;
    if (thread_.joinable()) {
        wake_.Signal();
        thread_.join();
    }
    listener_.Reset();
}

void TcpEndpoint::DropClient() {
    drop_ = true;
    wake_.Signal();
}

void TcpEndpoint::RefuseExtraClients() const {
    for (;;) {
        UniqueFd extra(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!extra.valid()) {
            return;
        }
    }
}

void TcpEndpoint::Run() {
    while (!stop_) {
        pollfd fds[2] = {{listener_.get(), POLLIN, 0}, {wake_.readFd(), POLLIN, 0}};
        if (::poll(fds, 2, kPollMs) <= 0) {
            continue;
        }
        if (fds[1].revents != 0) {
            wake_.Drain();
            drop_ = false;  // nobody to drop
        }
        if (fds[0].revents & POLLIN) {
            UniqueFd client(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (client.valid()) {
                Serve(std::move(client));
            }
        }
    }
}

void TcpEndpoint::Serve(UniqueFd client) {
    const int one = 1;
    ::setsockopt(client.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    drop_ = false;
    TelnetCodec telnet;
    std::vector<std::uint8_t> hello;
    if (telnetOffers_) {
        hello = TelnetCodec::Offers();
    }
    const std::vector<std::uint8_t> greeting = TelnetCodec::Encode(modem_.OnConnect());
    hello.insert(hello.end(), greeting.begin(), greeting.end());
    if (!WriteAll(client.get(), hello.data(), hello.size(), kWriteDeadline)) {
        return;
    }
    std::vector<std::uint8_t> buffer(kReadSize);
    ChatterClock chatter;
    while (!stop_ && !drop_) {
        const std::chrono::milliseconds interval = modem_.ChatterInterval();
        if (chatter.Due(interval)) {
            const std::vector<std::uint8_t> wire = TelnetCodec::Encode(modem_.OnChatterDue());
            if (!WriteAll(client.get(), wire.data(), wire.size(), kWriteDeadline)) {
                return;
            }
        }
        pollfd fds[3] = {
            {client.get(), POLLIN, 0}, {wake_.readFd(), POLLIN, 0}, {listener_.get(), POLLIN, 0}};
        if (::poll(fds, 3, chatter.PollTimeout(interval, kPollMs)) <= 0) {
            continue;
        }
        if (fds[1].revents != 0) {
            wake_.Drain();
            continue;  // the loop condition looks at the flags
        }
        if (fds[2].revents & POLLIN) {
            RefuseExtraClients();
        }
        if (fds[0].revents == 0) {
            continue;
        }
        const ssize_t n = ::recv(client.get(), buffer.data(), buffer.size(), 0);
        if (n <= 0) {
            return;  // the client closed or failed
        }
        const std::size_t before = telnet.commandsReceived();
        const std::vector<std::uint8_t> payload =
            telnet.Decode(buffer.data(), static_cast<std::size_t>(n));
        if (telnet.commandsReceived() != before) {
            modem_.CountTelnetCommands(telnet.commandsReceived() - before);
        }
        if (payload.empty()) {
            continue;
        }
        for (const ClientOutput& output : modem_.OnClientBytes(payload.data(), payload.size())) {
            if (output.delay.count() > 0 && !WaitOrWake(wake_, output.delay)) {
                return;  // stopping or dropping
            }
            if (output.hangUp) {
                return;
            }
            const std::vector<std::uint8_t> wire = TelnetCodec::Encode(output.bytes);
            if (!WriteAll(client.get(), wire.data(), wire.size(), kWriteDeadline)) {
                return;
            }
        }
    }
}

}  // namespace velksim
