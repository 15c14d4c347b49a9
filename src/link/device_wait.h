#pragma once

#include <poll.h>

namespace corvina {

// Waits up to `timeoutMs` (0: do not wait) for the device in `entry.fd` to
// show one of `entry.events` (POLLIN, POLLOUT), as poll() on that one entry
// does: 1 with `entry.revents` set, 0 on time-out, -1 with errno on failure.
// macOS cannot poll() terminal devices (it reports POLLNVAL), so there the
// wait is WaitDeviceWithSelect. POSIX only; any thread.
int WaitDevice(pollfd& entry, int timeoutMs);

// The same through select(). A descriptor select() cannot hold (FD_SETSIZE or
// above) fails with EINVAL instead of corrupting the stack. Hang-up and error
// show as readiness; the following read or write reports them. Built on every
// POSIX system so that it is tested where it is not needed.
int WaitDeviceWithSelect(pollfd& entry, int timeoutMs);

}  // namespace corvina
