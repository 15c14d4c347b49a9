#include <poll.h>
#include <unistd.h>

#include "cli/input_lines.h"

namespace corvina::cli {

InputLines::InputLines(std::function<void(std::optional<std::string>)> onLine)
    : onLine_(std::move(onLine)), thread_([this] { Read(); }) {}

InputLines::~InputLines() {
    stop_ = true;
    thread_.join();
}

void InputLines::Read() {
    std::string pending;
    char buffer[4096];
    while (!stop_) {
        pollfd fd{STDIN_FILENO, POLLIN, 0};
        const int ready = poll(&fd, 1, 250);
        if (ready <= 0) {
            continue;
        }
        const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            if (!pending.empty()) {
                onLine_(std::move(pending));
            }
            onLine_(std::nullopt);
            return;
        }
        pending.append(buffer, static_cast<std::size_t>(got));
        for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            std::string line = pending.substr(0, end);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            pending.erase(0, end + 1);
            onLine_(std::move(line));
        }
    }
}

}  // namespace corvina::cli
