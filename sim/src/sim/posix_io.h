#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace velksim {

// Owns one POSIX file descriptor and closes it when it goes.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void Reset(int fd = -1);

  private:
    int fd_ = -1;
};

// A self-pipe that wakes a thread blocked in poll(). Signal may be called from
// any thread; Drain only by the waiting thread.
class WakePipe {
  public:
    bool Open(std::string& error);
    int readFd() const { return read_.get(); }
    void Signal() const;
    void Drain() const;

  private:
    UniqueFd read_;
    UniqueFd write_;
};

// Writes all `size` bytes to `fd`, waiting at most `deadline` in total for the
// descriptor to take them. False when the descriptor failed or stayed full.
bool WriteAll(int fd, const std::uint8_t* data, std::size_t size,
              std::chrono::milliseconds deadline);

// Waits until `delay` has passed or `wake` is signalled; true when the whole
// delay passed.
bool WaitOrWake(const WakePipe& wake, std::chrono::milliseconds delay);

std::string ErrnoText(const std::string& prefix);

}  // namespace velksim
