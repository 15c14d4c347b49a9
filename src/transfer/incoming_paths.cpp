#include "transfer/incoming_paths.h"

#include <system_error>

#include "transfer/utf8_path.h"

namespace corvina {
namespace {

bool Exists(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::symlink_status(path, error);
    if (error && error != std::errc::no_such_file_or_directory) {
        return true;  // cannot tell: treat as taken rather than risk it
    }
    return std::filesystem::exists(status);
}

}  // namespace

StemAndExtension SplitFileName(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        return {std::string(name), std::string()};
    }
    return {std::string(name.substr(0, dot)), std::string(name.substr(dot))};
}

bool BuildIncomingPaths(const std::filesystem::path& receiveParent, std::string_view name,
                        std::filesystem::path& finalPath, std::filesystem::path& tempPath) {
    if (receiveParent.empty()) {
        return false;
    }
    return BuildIncomingPathsIn(receiveParent / PathFromUtf8(kReceiveFolderName), name, finalPath,
                                tempPath);
}

bool BuildIncomingPathsIn(const std::filesystem::path& directory, std::string_view name,
                          std::filesystem::path& finalPath, std::filesystem::path& tempPath) {
    if (directory.empty()) {
        return false;
    }
    std::error_code error;
    std::filesystem::create_directory(directory, error);
    if (error && error != std::errc::file_exists) {
        return false;
    }
    if (!std::filesystem::is_directory(directory, error)) {
        return false;
    }
    const StemAndExtension parts = SplitFileName(name);
    for (int n = 0; n <= kMaxCollisionNumber; ++n) {
        const std::string candidate =
            n == 0 ? std::string(name)
                   : parts.stem + " (" + std::to_string(n) + ")" + parts.extension;
        std::filesystem::path final = directory / PathFromUtf8(candidate);
        std::filesystem::path temp = final;
        temp += PathFromUtf8(kPartSuffix);
        if (!Exists(final) && !Exists(temp)) {
            finalPath = std::move(final);
            tempPath = std::move(temp);
            return true;
        }
    }
    return false;
}

}  // namespace corvina
