#include "sim/pty_endpoint.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <system_error>

#include "sim/chatter_clock.h"
#include "sim/modem_core.h"

namespace velksim {
namespace {

constexpr int kPollMs = 250;
constexpr std::size_t kReadSize = 4096;
// A client that does not read loses output rather than stalling the modem.
constexpr std::chrono::milliseconds kWriteDeadline{500};

}  // namespace

PtyEndpoint::PtyEndpoint(ModemCore& modem, std::filesystem::path link)
    : modem_(modem), link_(std::move(link)) {}

PtyEndpoint::~PtyEndpoint() {
    Stop();
}

std::string PtyEndpoint::devicePath() const {
    std::lock_guard lock(deviceMutex_);
    return device_;
}

bool PtyEndpoint::OpenPty(std::string& error) {
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        error = ErrnoText("Cannot open a pseudo-terminal");
        return false;
    }
    master_.Reset(master);
    slave_.Reset(slave);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    termios tio{};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    // Replace the symlink in one step, so a client never finds it missing.
    std::error_code ec;
    if (std::filesystem::exists(link_, ec) && !std::filesystem::is_symlink(link_, ec)) {
        error = "Cannot use " + link_.string() + " for the pseudo-terminal: not a symlink";
        return false;
    }
    const std::filesystem::path temporary = link_.string() + ".new";
    std::filesystem::remove(temporary, ec);
    std::filesystem::create_symlink(name, temporary, ec);
    if (!ec) {
        std::filesystem::rename(temporary, link_, ec);
    }
    if (ec) {
        error = "Cannot create symlink " + link_.string() + ": " + ec.message();
        return false;
    }
    createdLink_ = true;
    std::lock_guard lock(deviceMutex_);
    device_ = name;
    return true;
}

bool PtyEndpoint::Start(std::string& error) {
    if (!wake_.Open(error) || !OpenPty(error)) {
        return false;
    }
    stop_ = false;
    thread_ = std::thread([this] { Run(); });
    return true;
}

void PtyEndpoint::Stop() {
    stop_ = true;
    if (thread_.joinable()) {
        wake_.Signal();
        thread_.join();
    }
    master_.Reset();
    slave_.Reset();
    if (createdLink_) {
        createdLink_ = false;
        std::error_code ec;
        std::filesystem::remove(link_, ec);
    }
}

void PtyEndpoint::HangUp() {
    hangUp_ = true;
    wake_.Signal();
}

void PtyEndpoint::Run() {
    std::vector<std::uint8_t> buffer(kReadSize);
    ChatterClock chatter;
    // A serial port has no connect: the modem chatters once a client has
    // written, so that nobody's output piles up in an unopened terminal.
    bool clientSeen = false;
    while (!stop_) {
        if (hangUp_.exchange(false)) {
            std::string error;
            master_.Reset();
            slave_.Reset();
            clientSeen = false;
            if (!OpenPty(error)) {
                return;
            }
        }
        const std::chrono::milliseconds interval =
            clientSeen ? modem_.ChatterInterval() : std::chrono::milliseconds(0);
        if (chatter.Due(interval)) {
            const std::vector<std::uint8_t> line = modem_.OnChatterDue();
            WriteAll(master_.get(), line.data(), line.size(), kWriteDeadline);
        }
        pollfd fds[2] = {{master_.get(), POLLIN, 0}, {wake_.readFd(), POLLIN, 0}};
        if (::poll(fds, 2, chatter.PollTimeout(interval, kPollMs)) <= 0) {
            continue;
        }
        if (fds[1].revents != 0) {
            wake_.Drain();
            continue;
        }
        if ((fds[0].revents & POLLIN) == 0) {
            continue;
        }
        const ssize_t n = ::read(master_.get(), buffer.data(), buffer.size());
        if (n <= 0) {
            continue;
        }
        if (!clientSeen) {
            clientSeen = true;
            chatter.Restart();
        }
        for (const ClientOutput& output :
             modem_.OnClientBytes(buffer.data(), static_cast<std::size_t>(n))) {
            if (output.delay.count() > 0 && !WaitOrWake(wake_, output.delay)) {
                break;  // stopping or hanging up: the loop head deals with it
            }
            if (output.hangUp) {
                hangUp_ = true;
                break;
            }
            WriteAll(master_.get(), output.bytes.data(), output.bytes.size(), kWriteDeadline);
        }
    }
}

}  // namespace velksim
