#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace corvina {

// Where the program keeps its files for this run.
struct ProgramFolders {
    // "startup.txt" and "shutdown.txt".
    std::filesystem::path scriptFolder;
    // Received binary files (and their ".part" companions while written).
    std::filesystem::path receiveFolder;
    // Logs and history of past sessions.
    std::filesystem::path logFolder;
    // True for a copy of the program in a folder of its own (or --portable,
    // --folder); false for an installed program using the per-user folders.
    bool portable = false;
};

// Whose conventions the installed folders follow.
enum class FolderPlatform {
    Xdg,      // Linux and other Unix desktops
    Windows,  // %APPDATA%, %LOCALAPPDATA%
    MacOs,    // ~/Library
};

// What the folder choice reads from the system; tests give a fake one.
struct FolderEnvironment {
    FolderPlatform platform = FolderPlatform::Xdg;
    // The running executable's folder; empty when the system will not tell.
    std::filesystem::path executableFolder;
    // An environment variable's value (UTF-8); empty when unset. On POSIX
    // "HOME" falls back to the user database.
    std::function<std::string(std::string_view name)> variable;
    // Whether anything (file, folder, link) exists at the path.
    std::function<bool(const std::filesystem::path&)> exists;
    // Whether the program may create files in the folder.
    std::function<bool(const std::filesystem::path&)> writableFolder;
};

// The running system, for the platform the program was built for.
FolderEnvironment SystemFolderEnvironment();

// What the command line asked for.
struct FolderRequest {
    bool portable = false;         // --portable
    std::filesystem::path folder;  // --folder DIR; absolute, or empty
};

// Files whose presence beside the executable makes a copy portable.
inline constexpr std::string_view kPortableMarkers[] = {"startup.txt", "shutdown.txt", "portable"};
// Name of the application's own folder under the per-user folders.
inline constexpr std::string_view kInstalledFolderName = "corvina";
inline constexpr std::string_view kInstalledFolderNameCapitalised = "Corvina";

// The folders of a copy that keeps everything in `folder`: scripts there,
// received files in its "tmp", logs in its "log". All empty (nothing can be
// read or received) when `folder` is empty.
ProgramFolders PortableFolders(const std::filesystem::path& folder);

// Chooses the folders without asking anyone: `request.folder` wins, then
// `request.portable`, then a portable marker beside a writable executable
// folder; otherwise the platform's per-user folders. When those cannot be
// named (no home, no variables) the executable's folder is used as a portable
// copy. Creates nothing. Pure given `environment`; any thread.
ProgramFolders ChooseProgramFolders(const FolderRequest& request,
                                    const FolderEnvironment& environment);

// Creates `folder` and any missing parents with the user's permissions. True
// when it exists as a folder afterwards; `error` names what failed otherwise.
bool CreateProgramFolder(const std::filesystem::path& folder, std::string& error);

}  // namespace corvina
