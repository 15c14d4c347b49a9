#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>

namespace corvina::cli {

// Reads standard input line by line on a thread of its own and hands each
// line (without its line end) to `onLine`, then nullopt once input ends. The
// thread looks at a stop flag at least every 250 ms, so the destructor can
// join it while no input comes.
class InputLines {
  public:
    explicit InputLines(std::function<void(std::optional<std::string>)> onLine);
    ~InputLines();

    InputLines(const InputLines&) = delete;
    InputLines& operator=(const InputLines&) = delete;

  private:
    void Read();

    std::function<void(std::optional<std::string>)> onLine_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace corvina::cli
