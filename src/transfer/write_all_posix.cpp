#include "transfer/write_all_posix.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace corvina {

namespace {
constexpr std::size_t kMaxWrite = 65536;
}  // namespace

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, std::min(size, kMaxWrite));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace corvina
