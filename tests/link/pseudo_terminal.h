#pragma once

// A pseudo-terminal pair standing in for a serial port: the transport opens
// the slave by its path, the test plays the device on the master.

#ifdef __APPLE__
#include <util.h>
#else
#include <pty.h>
#endif
#include <termios.h>
#include <unistd.h>

#include <string>

namespace corvina::testing {

class PseudoTerminal {
  public:
    PseudoTerminal() {
        char name[256] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
            master_ = slave_ = -1;
            return;
        }
        slavePath_ = name;
        // The master side must not echo or translate what the test writes.
        termios raw{};
        tcgetattr(slave_, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave_, TCSANOW, &raw);
    }
    ~PseudoTerminal() {
        CloseMaster();
        CloseSlave();
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool ok() const { return master_ >= 0; }
    int master() const { return master_; }
    int slave() const { return slave_; }
    const std::string& slavePath() const { return slavePath_; }
    std::u16string slavePath16() const {
        return std::u16string(slavePath_.begin(), slavePath_.end());
    }

    void CloseMaster() {
        if (master_ >= 0) {
            close(master_);
            master_ = -1;
        }
    }
    void CloseSlave() {
        if (slave_ >= 0) {
            close(slave_);
            slave_ = -1;
        }
    }

  private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

}  // namespace corvina::testing
