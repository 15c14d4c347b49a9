#include "link/command_script_file.h"

#include <fstream>
#include <system_error>
#include <vector>

#include "link/executable_path.h"

namespace corvina {
namespace {

#ifdef _WIN32
constexpr cvhost::PortNaming kPortNaming = cvhost::PortNaming::Windows;
#else
constexpr cvhost::PortNaming kPortNaming = cvhost::PortNaming::Posix;
#endif

std::filesystem::path Utf8Path(const std::string& text) {
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

}  // namespace

bool ReadOptionalCommandScript(const std::string& fileName, cvhost::CommandScript& script,
                               std::string& error) {
    script = cvhost::CommandScript{};
    std::filesystem::path path;
    if (!ExecutableSiblingPath(Utf8Path(fileName), path)) {
        error = "Could not locate command script beside executable";
        return false;
    }
    return ReadOptionalCommandScript(path.parent_path(), fileName, script, error);
}

bool ReadOptionalCommandScript(const std::filesystem::path& folder, const std::string& fileName,
                               cvhost::CommandScript& script, std::string& error) {
    script = cvhost::CommandScript{};
    const std::filesystem::path path = folder / Utf8Path(fileName);
    std::error_code failure;
    const std::filesystem::file_status status = std::filesystem::status(path, failure);
    if (status.type() == std::filesystem::file_type::not_found) {
        return true;
    }
    if (failure || !std::filesystem::is_regular_file(status)) {
        error = "Could not open " + fileName;
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "Could not open " + fileName;
        return false;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, failure);
    if (failure || size > kCommandScriptMaximumBytes) {
        error = "Could not read " + fileName;
        return false;
    }
    // One byte more than allowed is asked for, so a file that grew after the
    // size check is caught rather than cut short.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size) + 1);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (file.bad() || static_cast<std::uintmax_t>(file.gcount()) != size) {
        error = "Could not read " + fileName;
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size));
    std::string parseError;
    if (!cvhost::ParseCommandScript(bytes.data(), bytes.size(), script, &parseError, kPortNaming)) {
        error = fileName + ": " + parseError;
        return false;
    }
    return true;
}

}  // namespace corvina
