#include <winsock2.h>
#include <ws2tcpip.h>

#include "link/system_error.h"
#include "text/conversions.h"

namespace corvina {

std::string SystemErrorText(std::uint32_t code) {
    constexpr DWORD kFlags =
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    wchar_t* message = nullptr;
    const DWORD length =
        FormatMessageW(kFlags, nullptr, code, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    std::u16string text;
    if (length != 0 && message != nullptr) {
        text.assign(reinterpret_cast<const char16_t*>(message), length);
    }
    if (message != nullptr) {
        LocalFree(message);
    }
    while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n')) {
        text.pop_back();
    }
    if (text.empty()) {
        return "Windows error " + std::to_string(code);
    }
    return WideToUtf8(text);
}

std::string ResolverErrorText(int code) {
    // gai_strerrorW is the thread-safe form; it returns a static wide string.
    const wchar_t* text = gai_strerrorW(code);
    if (text == nullptr) {
        return SystemErrorText(static_cast<std::uint32_t>(code));
    }
    return WideToUtf8(reinterpret_cast<const char16_t*>(text));
}

std::uint32_t LastSystemError() {
    return GetLastError();
}

}  // namespace corvina
