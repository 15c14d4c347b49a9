#include "velksim_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <regex>

namespace corvina::bench {

bool VelksimProcess::Start(const std::string& name, std::string& error) {
    int out[2];
    if (pipe(out) != 0) {
        error = std::strerror(errno);
        return false;
    }
    const std::string modem = name + "@tcp:127.0.0.1:0";
    pid_ = fork();
    if (pid_ < 0) {
        error = std::strerror(errno);
        return false;
    }
    if (pid_ == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execl(VELKSIM_PATH, "velksim", "--modem", modem.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    FILE* stream = fdopen(out[0], "r");
    char line[512];
    static const std::regex kListens(R"( tcp [0-9.]+:([0-9]+))");
    while (std::fgets(line, sizeof line, stream) != nullptr) {
        std::cmatch match;
        if (std::regex_search(line, match, kListens)) {
            port_ = static_cast<std::uint16_t>(std::stoi(match[1]));
            break;
        }
    }
    std::fclose(stream);  // velksim's later output goes to a closed pipe; it prints little
    if (port_ == 0) {
        error = "velksim did not report its port";
        return false;
    }
    return true;
}

VelksimProcess::~VelksimProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGINT);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
}

}  // namespace corvina::bench
