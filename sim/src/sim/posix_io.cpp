#include "sim/posix_io.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace velksim {

void UniqueFd::Reset(int fd) {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = fd;
}

bool WakePipe::Open(std::string& error) {
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        error = ErrnoText("Cannot create wake pipe");
        return false;
    }
    read_.Reset(fds[0]);
    write_.Reset(fds[1]);
    return true;
}

void WakePipe::Signal() const {
    const std::uint8_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(write_.get(), &one, 1);
}

void WakePipe::Drain() const {
    std::uint8_t buffer[64];
    while (::read(read_.get(), buffer, sizeof buffer) > 0) {
    }
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size,
              std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (size > 0) {
        ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == ENOTSOCK) {
            n = ::write(fd, data, size);
        }
        if (n > 0) {
            data += n;
            size -= static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, static_cast<int>(left.count()));
    }
    return true;
}

bool WaitOrWake(const WakePipe& wake, std::chrono::milliseconds delay) {
    const auto end = std::chrono::steady_clock::now() + delay;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return true;
        }
        pollfd p{wake.readFd(), POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) > 0) {
            return false;
        }
    }
}

std::string ErrnoText(const std::string& prefix) {
    return prefix + ": " + std::strerror(errno);
}

}  // namespace velksim
