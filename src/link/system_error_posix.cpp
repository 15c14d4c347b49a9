#include <netdb.h>

#include <cerrno>
#include <cstring>

#include "link/system_error.h"

namespace corvina {

std::string SystemErrorText(std::uint32_t code) {
    char buffer[256] = {};
    // The GNU strerror_r may return a static string instead of filling the
    // buffer; the XSI one fills the buffer and returns a status.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    const char* text = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
    return text != nullptr ? std::string(text) : std::string();
#else
    if (strerror_r(static_cast<int>(code), buffer, sizeof buffer) != 0) {
        return "Unknown error " + std::to_string(code);
    }
    return std::string(buffer);
#endif
}

std::string ResolverErrorText(int code) {
    if (code == EAI_SYSTEM) {
        return SystemErrorText(static_cast<std::uint32_t>(errno));
    }
    return gai_strerror(code);
}

std::uint32_t LastSystemError() {
    return static_cast<std::uint32_t>(errno);
}

}  // namespace corvina
