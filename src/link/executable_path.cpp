#include "link/executable_path.h"

#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#elif defined(__APPLE__)
#include <mach-o/dyld.h>

#include <cstdint>
#else
#include <unistd.h>
#endif

namespace corvina {
namespace {

#if defined(_WIN32)
// Longest path GetModuleFileNameW can report with the long-path prefix.
constexpr DWORD kLongestPath = 32768;
#elif !defined(__APPLE__)
constexpr std::size_t kFirstGuess = 4096;
constexpr std::size_t kLongestPath = 1 << 20;
#endif

}  // namespace

bool ExecutablePath(std::filesystem::path& path) {
#if defined(_WIN32)
    std::vector<wchar_t> buffer(kLongestPath);
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), kLongestPath);
    if (length == 0 || length >= kLongestPath) {
        return false;
    }
    path = std::filesystem::path(std::wstring(buffer.data(), length));
    return true;
#elif defined(__APPLE__)
    std::uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::vector<char> buffer(size + 1);
    if (_NSGetExecutablePath(buffer.data(), &size) != 0) {
        return false;
    }
    path = std::filesystem::path(buffer.data());
    return true;
#else
    // readlink does not say whether it truncated, so grow until it fits.
    for (std::size_t size = kFirstGuess; size <= kLongestPath; size *= 2) {
        std::vector<char> buffer(size);
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), size);
        if (length < 0) {
            return false;
        }
        if (static_cast<std::size_t>(length) < size) {
            path =
                std::filesystem::path(std::string(buffer.data(), static_cast<std::size_t>(length)));
            return true;
        }
    }
    return false;
#endif
}

bool ExecutableSiblingPath(const std::filesystem::path& fileName, std::filesystem::path& path) {
    std::filesystem::path executable;
    if (!ExecutablePath(executable) || !executable.has_parent_path()) {
        return false;
    }
    path = executable.parent_path() / fileName;
    return true;
}

}  // namespace corvina
