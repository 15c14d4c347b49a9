#include "link/program_folders.h"

#include <cstdlib>
#include <system_error>

#include "link/executable_path.h"

#if defined(_WIN32)
#include <windows.h>

#include <fstream>
#else
#include <pwd.h>
#include <unistd.h>

#include <vector>
#endif

namespace corvina {
namespace {

std::filesystem::path Utf8Path(std::string_view text) {
    return std::filesystem::path(
        std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

// A base folder from a variable; relative values are ignored, as the desktop
// conventions demand, so a stray "XDG_DATA_HOME=." cannot scatter files.
std::filesystem::path AbsoluteVariable(const FolderEnvironment& environment,
                                       std::string_view name) {
    const std::filesystem::path value = Utf8Path(environment.variable(name));
    return value.is_absolute() ? value : std::filesystem::path();
}

// The variable's folder, else `fallback` under the home folder.
std::filesystem::path XdgBase(const FolderEnvironment& environment, std::string_view name,
                              const std::filesystem::path& home, std::string_view fallback) {
    std::filesystem::path base = AbsoluteVariable(environment, name);
    if (base.empty() && !home.empty()) {
        base = home / Utf8Path(fallback);
    }
    return base;
}

bool InstalledFolders(const FolderEnvironment& environment, ProgramFolders& folders) {
    const std::filesystem::path home = AbsoluteVariable(environment, "HOME");
    switch (environment.platform) {
        case FolderPlatform::Xdg: {
            const std::filesystem::path config =
                XdgBase(environment, "XDG_CONFIG_HOME", home, ".config");
            const std::filesystem::path data =
                XdgBase(environment, "XDG_DATA_HOME", home, ".local/share");
            const std::filesystem::path state =
                XdgBase(environment, "XDG_STATE_HOME", home, ".local/state");
            if (config.empty() || data.empty() || state.empty()) {
                return false;
            }
            const std::filesystem::path own = Utf8Path(kInstalledFolderName);
            folders.scriptFolder = config / own;
            folders.receiveFolder = data / own / "received";
            folders.logFolder = state / own;
            return true;
        }
        case FolderPlatform::Windows: {
            const std::filesystem::path roaming = AbsoluteVariable(environment, "APPDATA");
            const std::filesystem::path local = AbsoluteVariable(environment, "LOCALAPPDATA");
            if (roaming.empty() || local.empty()) {
                return false;
            }
            const std::filesystem::path own = Utf8Path(kInstalledFolderNameCapitalised);
            folders.scriptFolder = roaming / own;
            folders.receiveFolder = local / own / "received";
            folders.logFolder = local / own / "log";
            return true;
        }
        case FolderPlatform::MacOs: {
            if (home.empty()) {
                return false;
            }
            const std::filesystem::path own = Utf8Path(kInstalledFolderNameCapitalised);
            folders.scriptFolder = home / "Library" / "Application Support" / own;
            folders.receiveFolder = folders.scriptFolder / "received";
            folders.logFolder = home / "Library" / "Logs" / own;
            return true;
        }
    }
    return false;
}

bool HasPortableMarker(const FolderEnvironment& environment) {
    for (const std::string_view marker : kPortableMarkers) {
        if (environment.exists(environment.executableFolder / Utf8Path(marker))) {
            return true;
        }
    }
    return false;
}

#if defined(_WIN32)
std::string WindowsVariable(std::string_view name) {
    const std::wstring wide(name.begin(), name.end());
    const DWORD length = GetEnvironmentVariableW(wide.c_str(), nullptr, 0);
    if (length == 0) {
        return {};
    }
    std::wstring value(length, L'\0');
    const DWORD written = GetEnvironmentVariableW(wide.c_str(), value.data(), length);
    if (written == 0 || written >= length) {
        return {};
    }
    value.resize(written);
    const std::u8string text = std::filesystem::path(value).u8string();
    return std::string(text.begin(), text.end());
}

// Access bits say little about Windows folders; only a real attempt tells.
bool ProbeWritable(const std::filesystem::path& folder) {
    const std::filesystem::path probe =
        folder / (".corvina-probe-" + std::to_string(GetCurrentProcessId()));
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}
#else
std::string PosixVariable(std::string_view name) {
    const std::string key(name);
    const char* value = std::getenv(key.c_str());
    if (value != nullptr && *value != '\0') {
        return value;
    }
    if (key != "HOME") {
        return {};
    }
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr) {
        return {};
    }
    return found->pw_dir;
}
#endif

}  // namespace

FolderEnvironment SystemFolderEnvironment() {
    FolderEnvironment environment;
#if defined(_WIN32)
    environment.platform = FolderPlatform::Windows;
    environment.variable = WindowsVariable;
    environment.writableFolder = ProbeWritable;
#else
    environment.platform =
#if defined(__APPLE__)
        FolderPlatform::MacOs;
#else
        FolderPlatform::Xdg;
#endif
    environment.variable = PosixVariable;
    environment.writableFolder = [](const std::filesystem::path& folder) {
        return access(folder.c_str(), W_OK | X_OK) == 0;
    };
#endif
    environment.exists = [](const std::filesystem::path& path) {
        std::error_code error;
        return std::filesystem::exists(std::filesystem::symlink_status(path, error));
    };
    std::filesystem::path executable;
    if (ExecutablePath(executable)) {
        environment.executableFolder = executable.parent_path();
    }
    return environment;
}

ProgramFolders PortableFolders(const std::filesystem::path& folder) {
    ProgramFolders folders;
    folders.portable = true;
    if (folder.empty()) {
        return folders;  // a relative "tmp" would land wherever the process runs
    }
    folders.scriptFolder = folder;
    folders.receiveFolder = folder / "tmp";
    folders.logFolder = folder / "log";
    return folders;
}

ProgramFolders ChooseProgramFolders(const FolderRequest& request,
                                    const FolderEnvironment& environment) {
    if (!request.folder.empty()) {
        return PortableFolders(request.folder);
    }
    const std::filesystem::path& beside = environment.executableFolder;
    if (request.portable) {
        return PortableFolders(beside);
    }
    if (!beside.empty() && HasPortableMarker(environment) && environment.writableFolder(beside)) {
        return PortableFolders(beside);
    }
    ProgramFolders folders;
    if (InstalledFolders(environment, folders)) {
        return folders;
    }
    return PortableFolders(beside);
}

bool CreateProgramFolder(const std::filesystem::path& folder, std::string& error) {
    std::error_code failure;
    std::filesystem::create_directories(folder, failure);
    if (std::filesystem::is_directory(folder)) {
        return true;
    }
    const std::u8string name = folder.u8string();
    error = "Could not create " + std::string(name.begin(), name.end());
    if (failure) {
        error += ": " + failure.message();
    }
    return false;
}

}  // namespace corvina
