#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace corvina {

// Folder, beside the executable in the program, that receives files.
inline constexpr std::string_view kReceiveFolderName = "tmp";
// Suffix of a received file while it is being written.
inline constexpr std::string_view kPartSuffix = ".part";
// Highest number tried in "name (n).ext" when the name is taken.
inline constexpr int kMaxCollisionNumber = 9999;

// Splits a file name at its last '.' unless that is the first character:
// "archive.tar.gz" -> {"archive.tar", ".gz"}, ".profile" -> {".profile", ""}.
struct StemAndExtension {
    std::string stem;
    std::string extension;
};
StemAndExtension SplitFileName(std::string_view name);

// Chooses where a received file named `name` (UTF-8, already checked) is
// stored: `receiveParent`/tmp/candidate, with candidate the name itself or
// stem + " (n)" + extension for n = 1..9,999, the first one for which neither
// the file nor its ".part" companion exists (a dangling symbolic link counts
// as existing). Creates the "tmp" folder when missing. False, leaving the
// outputs alone, when the folder cannot be created or is not a folder, or when
// every name is taken. Reads the file system only; creates nothing but "tmp".
bool BuildIncomingPaths(const std::filesystem::path& receiveParent, std::string_view name,
                        std::filesystem::path& finalPath, std::filesystem::path& tempPath);

// As above, with the files stored in `receiveFolder` itself (created when
// missing, its parent must exist) instead of in "tmp" under a parent.
bool BuildIncomingPathsIn(const std::filesystem::path& receiveFolder, std::string_view name,
                          std::filesystem::path& finalPath, std::filesystem::path& tempPath);

}  // namespace corvina
