#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvina::testing {

// A program run as a real child process, its standard output and error
// written to files, its standard input a pipe the test may write to. The
// destructor kills and reaps a child still running.
class ChildProcess {
  public:
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
                 const std::filesystem::path& output, const std::filesystem::path& errors);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Writes `text` to the child's standard input; CloseInput ends it.
    void Write(const std::string& text);
    void CloseInput();
    void Signal(int signal);
    pid_t pid() const { return pid_; }

    // The exit status, or nothing when the child is still running after `timeout`
    // (or died of a signal: -signal).
    std::optional<int> Wait(std::chrono::milliseconds timeout);

  private:
    pid_t pid_ = -1;
    int input_ = -1;
    std::optional<int> status_;
};

}  // namespace corvina::testing
