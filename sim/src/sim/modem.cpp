#include "sim/modem.h"

#include <mutex>

#include "sim/channel.h"
#include "sim/pty_endpoint.h"
#include "sim/tcp_endpoint.h"

namespace velksim {

Modem::Modem(Channel& channel, ModemOptions options, std::uint64_t seed)
    : channel_(channel), options_(std::move(options)), core_(channel, options_, seed) {}

Modem::~Modem() {
    Stop();
}

bool Modem::Start(std::string& error) {
    if (options_.tcp) {
        tcp_ = std::make_unique<TcpEndpoint>(core_, options_.tcpAddress, options_.tcpPort,
                                             options_.telnetOffers);
        if (!tcp_->Start(error)) {
            error = options_.name + ": " + error;
            return false;
        }
    }
    if (options_.pty) {
        pty_ = std::make_unique<PtyEndpoint>(core_, options_.ptyLink);
        if (!pty_->Start(error)) {
            error = options_.name + ": " + error;
            return false;
        }
    }
    return true;
}

void Modem::Stop() {
    if (tcp_) {
        tcp_->Stop();
    }
    if (pty_) {
        pty_->Stop();
    }
}

std::uint16_t Modem::tcpPort() const {
    return tcp_ ? tcp_->port() : 0;
}

std::filesystem::path Modem::ptyLink() const {
    return pty_ ? pty_->link() : std::filesystem::path();
}

std::string Modem::ptyDevice() const {
    return pty_ ? pty_->devicePath() : std::string();
}

void Modem::DropClient() {
    if (tcp_) {
        tcp_->DropClient();
    }
    if (pty_) {
        pty_->HangUp();
    }
}

void Modem::LoseLink() {
    std::lock_guard lock(channel_.mutex());
    channel_.LoseLinkLocked(core_);
}

}  // namespace velksim
