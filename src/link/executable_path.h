#pragma once

#include <filesystem>

namespace corvina {

// The full path of the running executable. False when the system will not
// tell. Any thread.
bool ExecutablePath(std::filesystem::path& path);

// The full path of `fileName` in the executable's folder. False when the
// executable's path is unavailable or has no folder part. Any thread.
bool ExecutableSiblingPath(const std::filesystem::path& fileName, std::filesystem::path& path);

}  // namespace corvina
