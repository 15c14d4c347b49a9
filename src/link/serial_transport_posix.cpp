#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <vector>

#include "link/device_wait.h"
#include "link/serial_diagnostics.h"
#include "link/serial_limits.h"
#include "link/serial_transport.h"
#include "link/system_error.h"
#include "text/conversions.h"

namespace corvina {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kNotConnected = "COM port is not connected";

// A port that accepts nothing for this long is treated as failed, so a stuck
// device cannot block the writer forever.
constexpr std::chrono::milliseconds kWriteStallLimit{10000};

struct BaudConstant {
    std::uint32_t rate;
    speed_t constant;
};

constexpr BaudConstant kStandardRates[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},     {150, B150},
    {200, B200},       {300, B300},       {600, B600},       {1200, B1200},   {1800, B1800},
    {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200}, {38400, B38400},
    {57600, B57600},   {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B921600
    {921600, B921600},
#endif
};

bool FindBaudConstant(std::uint32_t rate, speed_t& constant) {
    for (const BaudConstant& entry : kStandardRates) {
        if (entry.rate == rate) {
            constant = entry.constant;
            return true;
        }
    }
    return false;
}

// Access to serial devices is usually granted through a group; naming it tells
// the operator what to do about a refusal.
std::string OpenFailureText(int code, const std::string& path) {
    std::string text = SystemErrorText(static_cast<std::uint32_t>(code));
    if (code != EACCES) {
        return text;
    }
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return text;
    }
    std::vector<char> scratch(4096);
    struct group entry {};
    struct group* found = nullptr;
    if (getgrgid_r(info.st_gid, &entry, scratch.data(), scratch.size(), &found) == 0 &&
        found != nullptr && found->gr_name != nullptr) {
        const std::string group = found->gr_name;
        text += " (the device belongs to group " + group + "; run \"sudo usermod -aG " + group +
                " $USER\", then log in again)";
    }
    return text;
}

std::string InUseText(const std::string& path) {
    const std::string holder = SerialPortHolder(path);
    return holder.empty() ? " (the port is in use by another program)"
                          : " (the port is in use by " + holder + ")";
}

std::string RefusedRateText(const std::string& path, std::uint32_t rate, int code) {
    return "Cannot configure " + path + " for " + std::to_string(rate) +
           " baud: " + SystemErrorText(static_cast<std::uint32_t>(code));
}

int RemainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 0x7fffffff));
}

class SerialTransport final : public ITransport {
  public:
    SerialTransport(std::u16string portName, std::uint32_t baudRate)
        : portName_(std::move(portName)), baudRate_(baudRate) {}
    ~SerialTransport() override { Close(); }

    bool Open(std::string& error) override;
    void Close() override;
    bool Write(const std::uint8_t* data, std::size_t size, std::string& error) override;
    std::int32_t Read(std::uint8_t* buffer, std::size_t capacity, std::uint32_t timeoutMs,
                      std::string& error) override;
    std::string Description() const override { return WideToUtf8(portName_); }

  private:
    bool Configure(std::string& error);
    std::int32_t ReadFailed(int code, std::string& error) const;

    std::u16string portName_;
    std::uint32_t baudRate_;
    int handle_ = -1;
};

bool SerialTransport::Open(std::string& error) {
    Close();
    const std::string name = WideToUtf8(portName_);
    // Non-blocking, so a port whose modem lines are down cannot hang the open;
    // reads and writes wait with poll() instead.
    const int fd = open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int code = errno;
        error = "Cannot open " + name + ": " + OpenFailureText(code, name);
        if (code == EBUSY) {
            error += InUseText(name);
        }
        return false;
    }
    handle_ = fd;
    // TIOCEXCL is ignored for privileged openers, so the lock is what really
    // keeps two programs (or two transports) off the same port.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno == EWOULDBLOCK ? EBUSY : errno;
        error = "Cannot open " + name + ": " + SystemErrorText(static_cast<std::uint32_t>(code));
        Close();
        if (code == EBUSY) {
            error += InUseText(name);
        }
        return false;
    }
    if (!Configure(error)) {
        Close();
        return false;
    }
    return true;
}

bool SerialTransport::Configure(std::string& error) {
    const std::string name = WideToUtf8(portName_);
    termios settings{};
    if (tcgetattr(handle_, &settings) != 0) {
        error = "Cannot read " + name + " settings: " + SystemErrorText(LastSystemError());
        return false;
    }
    ioctl(handle_, TIOCEXCL);

    cfmakeraw(&settings);
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
#ifdef CRTSCTS
    settings.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    if (baudRate_ != 0) {
        speed_t speed{};
        if (!FindBaudConstant(baudRate_, speed) || cfsetispeed(&settings, speed) != 0 ||
            cfsetospeed(&settings, speed) != 0) {
            error = RefusedRateText(name, baudRate_, EINVAL);
            return false;
        }
    }
    if (tcsetattr(handle_, TCSANOW, &settings) != 0) {
        const int code = errno;
        error = baudRate_ != 0 ? RefusedRateText(name, baudRate_, code)
                               : "Cannot configure " + name + " for binary communication: " +
                                     SystemErrorText(static_cast<std::uint32_t>(code));
        return false;
    }
    // tcsetattr succeeds when any one change is taken, so a driver that keeps
    // its old rate would otherwise go unnoticed until nothing is understood.
    termios applied{};
    if (baudRate_ != 0 &&
        (tcgetattr(handle_, &applied) != 0 || cfgetospeed(&applied) != cfgetospeed(&settings))) {
        error = RefusedRateText(name, baudRate_, EINVAL);
        return false;
    }
    // Pseudo-terminals and some adapters have no modem lines; that is no error.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(handle_, TIOCMBIS, &lines);
    tcflush(handle_, TCIOFLUSH);
    return true;
}

void SerialTransport::Close() {
    if (handle_ >= 0) {
        close(handle_);  // also releases the lock
        handle_ = -1;
    }
}

bool SerialTransport::Write(const std::uint8_t* data, std::size_t size, std::string& error) {
    if (handle_ < 0) {
        error = kNotConnected;
        return false;
    }
    std::size_t done = 0;
    auto stallDeadline = Clock::now() + kWriteStallLimit;
    while (done < size) {
        const std::size_t chunk = std::min(size - done, kSerialChunkBytes);
        const ssize_t written = write(handle_, data + done, chunk);
        if (written > 0) {
            done += static_cast<std::size_t>(written);
            stallDeadline = Clock::now() + kWriteStallLimit;
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd entry{handle_, POLLOUT, 0};
            const int ready = WaitDevice(entry, RemainingMs(stallDeadline));
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            int code = 0;
            if (ready < 0) {
                code = errno;
            } else if (ready == 0) {
                code = ETIMEDOUT;
            } else if ((entry.revents & POLLOUT) == 0) {
                code = EIO;  // hung up or failed
            }
            if (code != 0) {
                error = "COM write failed: " + SystemErrorText(static_cast<std::uint32_t>(code));
                return false;
            }
            continue;
        }
        const int code = written == 0 ? EIO : errno;
        error = "COM write failed: " + SystemErrorText(static_cast<std::uint32_t>(code));
        return false;
    }
    return true;
}

std::int32_t SerialTransport::ReadFailed(int code, std::string& error) const {
    error = "COM read failed: " + SystemErrorText(static_cast<std::uint32_t>(code));
    return -1;
}

std::int32_t SerialTransport::Read(std::uint8_t* buffer, std::size_t capacity,
                                   std::uint32_t timeoutMs, std::string& error) {
    if (handle_ < 0) {
        error = kNotConnected;
        return -1;
    }
    const std::size_t wanted = std::min(capacity, kSerialChunkBytes);
    if (wanted == 0) {
        return 0;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        pollfd entry{handle_, POLLIN, 0};
        const int ready = WaitDevice(entry, RemainingMs(deadline));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return ReadFailed(errno, error);
        }
        if (ready == 0) {
            return 0;
        }
        if ((entry.revents & POLLNVAL) != 0) {
            return ReadFailed(EBADF, error);
        }
        const ssize_t got = read(handle_, buffer, wanted);
        if (got > 0) {
            return static_cast<std::int32_t>(got);
        }
        // Readable but nothing to read means the device is gone; reporting it
        // keeps the caller from polling a dead port in a tight loop.
        if (got == 0) {
            return ReadFailed(EIO, error);
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            return ReadFailed(errno, error);
        }
        if ((entry.revents & (POLLHUP | POLLERR)) != 0) {
            return ReadFailed(EIO, error);
        }
        if (RemainingMs(deadline) == 0) {
            return 0;
        }
    }
}

}  // namespace

std::unique_ptr<ITransport> CreateSerialTransport(const std::u16string& portName) {
    return std::make_unique<SerialTransport>(portName, 0);
}

std::unique_ptr<ITransport> CreateSerialTransport(const std::u16string& portName,
                                                  std::uint32_t baudRate) {
    return std::make_unique<SerialTransport>(portName, baudRate);
}

}  // namespace corvina
