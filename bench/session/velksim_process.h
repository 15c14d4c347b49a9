#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace corvina::bench {

// velksim run as a separate process, so the CPU it spends answering is not
// counted against the program being measured. The process is stopped (SIGINT,
// then waited for) by the destructor.
class VelksimProcess {
  public:
    // Starts velksim with one modem `name` on a free loopback TCP port and
    // waits until it says where it listens. False with `error` on failure.
    bool Start(const std::string& name, std::string& error);
    ~VelksimProcess();

    std::uint16_t tcpPort() const { return port_; }

  private:
    pid_t pid_ = -1;
    std::uint16_t port_ = 0;
};

}  // namespace corvina::bench
