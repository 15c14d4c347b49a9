#pragma once

// Runs ser2net, a Telnet server nobody here wrote, in front of a pseudo-
// terminal: a loopback port in telnet mode whose far side is the pty. The
// process is killed when this object goes, and also if the test process dies
// first (parent-death signal).

#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace corvina::testing {

class Ser2netProcess {
  public:
    Ser2netProcess(const std::string& devicePath, std::uint16_t port) {
        char pattern[] = "/tmp/corvina-ser2net-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            return;
        }
        folder_ = pattern;
        const std::string config = (folder_ / "ser2net.yaml").string();
        std::ofstream(config) << "%YAML 1.1\n---\n"
                              << "connection: &corvina\n"
                              << "  accepter: telnet,tcp,127.0.0.1," << port << "\n"
                              << "  connector: serialdev," << devicePath << ",115200n81,local\n";
        const std::string log = (folder_ / "ser2net.log").string();
        const std::string pidFile = (folder_ / "ser2net.pid").string();
        const pid_t parent = getpid();
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() != parent) {
                _exit(127);
            }
            std::FILE* out = std::freopen(log.c_str(), "w", stdout);
            (void)out;
            dup2(STDOUT_FILENO, STDERR_FILENO);
            execlp("ser2net", "ser2net", "-n", "-d", "-u", "-P", pidFile.c_str(), "-c",
                   config.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
    }

    ~Ser2netProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
            int status = 0;
            while (waitpid(pid_, &status, WNOHANG) == 0) {
                if (std::chrono::steady_clock::now() > deadline) {
                    kill(pid_, SIGKILL);
                    waitpid(pid_, &status, 0);
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        if (!folder_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(folder_, ignored);
        }
    }

    Ser2netProcess(const Ser2netProcess&) = delete;
    Ser2netProcess& operator=(const Ser2netProcess&) = delete;

    bool started() const { return pid_ > 0; }

    // True while the process has not exited.
    bool running() const {
        int status = 0;
        return pid_ > 0 && waitpid(pid_, &status, WNOHANG) == 0;
    }

    std::string Log() const {
        std::ifstream in(folder_ / "ser2net.log");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

  private:
    std::filesystem::path folder_;
    pid_t pid_ = -1;
};

}  // namespace corvina::testing
