#pragma once

#include <atomic>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "sim/posix_io.h"

namespace velksim {

class ModemCore;

// A modem's serial port: a pseudo-terminal in raw mode whose device is reached
// through a stable symlink. The endpoint keeps its own handle on the device side
// so that a client may close and reopen it freely. Hanging up replaces the
// pseudo-terminal: a client that holds the old device sees it fail, and the
// symlink then leads to a fresh one. Owns its thread; `modem` must outlive it.
class PtyEndpoint {
  public:
    PtyEndpoint(ModemCore& modem, std::filesystem::path link);
    ~PtyEndpoint();
    PtyEndpoint(const PtyEndpoint&) = delete;
    PtyEndpoint& operator=(const PtyEndpoint&) = delete;

    bool Start(std::string& error);
    // Joins the thread, closes the pseudo-terminal and removes the symlink.
    void Stop();
    const std::filesystem::path& link() const { return link_; }
    // The device the symlink points at now; any thread.
    std::string devicePath() const;
    // Hangs up the client; any thread. The next reader of the symlink gets a
    // new device.
    void HangUp();

  private:
    bool OpenPty(std::string& error);
    void Run();

    ModemCore& modem_;
    std::filesystem::path link_;
    UniqueFd master_;
    UniqueFd slave_;
    bool createdLink_ = false;        // the symlink is ours to remove
    mutable std::mutex deviceMutex_;  // guards device_
    std::string device_;
    WakePipe wake_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> hangUp_{false};
    std::thread thread_;
};

}  // namespace velksim
