#pragma once

#ifdef __APPLE__
#include <util.h>
#else
#include <pty.h>
#endif
#include <termios.h>

#include "tcp_test_server.h"

namespace corvina::testing {

// The transport opens the slave by its path; the test plays the device on the
// master, which must not echo or translate.
class PseudoTerminal {
  public:
    PseudoTerminal() {
        int master = -1;
        int slave = -1;
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) == 0) {
            master_.Reset(master);
            slave_.Reset(slave);
            slavePath_ = name;
            termios raw{};
            tcgetattr(slave, &raw);
            cfmakeraw(&raw);
            tcsetattr(slave, TCSANOW, &raw);
        }
    }

    bool ok() const { return master_.valid(); }
    int master() const { return master_.get(); }
    int slave() const { return slave_.get(); }
    const std::string& slavePath() const { return slavePath_; }
    std::u16string slavePath16() const { return {slavePath_.begin(), slavePath_.end()}; }
    void CloseMaster() { master_.Reset(); }
    void CloseSlave() { slave_.Reset(); }

  private:
    ScopedFd master_;
    ScopedFd slave_;
    std::string slavePath_;
};

}  // namespace corvina::testing
