#include <sys/select.h>

#include <cerrno>

#include "link/device_wait.h"

namespace corvina {

int WaitDeviceWithSelect(pollfd& entry, int timeoutMs) {
    entry.revents = 0;
    if (entry.fd < 0 || entry.fd >= FD_SETSIZE) {
        errno = EINVAL;
        return -1;
    }
    fd_set readable;
    fd_set writable;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    if ((entry.events & POLLIN) != 0) {
        FD_SET(entry.fd, &readable);
    }
    if ((entry.events & POLLOUT) != 0) {
        FD_SET(entry.fd, &writable);
    }
    timeval limit{timeoutMs / 1000, static_cast<suseconds_t>((timeoutMs % 1000) * 1000)};
    const int ready = select(entry.fd + 1, &readable, &writable, nullptr, &limit);
    if (ready <= 0) {
        return ready;
    }
    if (FD_ISSET(entry.fd, &readable)) {
        entry.revents |= POLLIN;
    }
    if (FD_ISSET(entry.fd, &writable)) {
        entry.revents |= POLLOUT;
    }
    return 1;
}

int WaitDevice(pollfd& entry, int timeoutMs) {
#ifdef __APPLE__
    return WaitDeviceWithSelect(entry, timeoutMs);
#else
    return poll(&entry, 1, timeoutMs);
#endif
}

}  // namespace corvina
