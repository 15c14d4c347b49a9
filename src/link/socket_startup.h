#pragma once

#include <string>

namespace corvina {

// Keeps the platform's socket library started for as long as it lives: on
// Windows it starts Winsock 2.2 and cleans it up when destroyed; elsewhere
// there is nothing to start. Make exactly one, in `main`, before any link,
// discovery or test opens a socket, and keep it until they are all gone.
class SocketStartup {
  public:
    SocketStartup();
    ~SocketStartup();
    SocketStartup(const SocketStartup&) = delete;
    SocketStartup& operator=(const SocketStartup&) = delete;

    // False when the library could not be started; `Error` then says why.
    bool Started() const { return started_; }
    const std::string& Error() const { return error_; }

  private:
    bool started_ = false;
    std::string error_;
};

}  // namespace corvina
