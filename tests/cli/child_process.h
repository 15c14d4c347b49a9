#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace corvina::testing {

using namespace std::chrono_literals;

// A program (corvina-cli) run as a real child process, its standard output and
// error written to files, its standard input a pipe; killed and reaped if still
// running at the end.
class ChildProcess {
  public:
    ChildProcess(const std::filesystem::path& program, std::vector<std::string> args,
                 const std::filesystem::path& output, const std::filesystem::path& errors) {
        int fds[2];
        if (pipe(fds) != 0) {
            throw std::runtime_error("pipe failed");
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[1]);
        const int flags = O_WRONLY | O_CREAT | O_TRUNC;
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), flags, 0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(), flags, 0644);
        args.insert(args.begin(), program.string());
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[0]);
        input_ = fds[1];
        if (rc != 0) {  // no pid to signal or reap
            throw std::runtime_error("cannot start " + program.string());
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() {
        CloseInput();
        Signal(SIGKILL);
        Wait(10s);
    }

    void Write(const std::string& text) { (void)!write(input_, text.data(), text.size()); }
    void CloseInput() {
        if (input_ >= 0) {
            close(input_);
            input_ = -1;
        }
    }
    void Signal(int signal) {
        if (!status_) {
            kill(pid_, signal);
        }
    }

    // The exit status (-signal when killed), or nothing while still running after `timeout`.
    std::optional<int> Wait(std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (int raw = 0; !status_; std::this_thread::sleep_for(20ms)) {
            if (waitpid(pid_, &raw, WNOHANG) == pid_) {
                status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : -WTERMSIG(raw);
            } else if (std::chrono::steady_clock::now() >= deadline) {
                break;
            }
        }
        return status_;
    }

    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int input_ = -1;
    std::optional<int> status_;
};

}  // namespace corvina::testing
