#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace corvina {

// Paths from and to UTF-8 text, the same on every platform (a plain
// std::filesystem::path(std::string) would use the ANSI code page on Windows).
std::filesystem::path PathFromUtf8(std::string_view text);
std::string PathToUtf8(const std::filesystem::path& path);

}  // namespace corvina
