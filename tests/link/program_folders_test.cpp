#include "link/program_folders.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "temp_folder.h"

namespace corvina {
namespace {

using Path = std::filesystem::path;

struct FoldersCase {
    const char* name;
    FolderPlatform platform;
    std::map<std::string, std::string> variables;
    std::set<std::string> besideExecutable;  // names present in /opt/cv
    bool executableFolderWritable;
    FolderRequest request;
    ProgramFolders expected;
};

FolderEnvironment FakeEnvironment(const FoldersCase& c) {
    FolderEnvironment environment;
    environment.platform = c.platform;
    environment.executableFolder = "/opt/cv";
    environment.variable = [&c](std::string_view name) {
        const auto found = c.variables.find(std::string(name));
        return found == c.variables.end() ? std::string() : found->second;
    };
    environment.exists = [&c](const Path& path) {
        return path.parent_path() == "/opt/cv" &&
               c.besideExecutable.count(path.filename().string()) > 0;
    };
    environment.writableFolder = [&c](const Path& path) {
        return path == "/opt/cv" && c.executableFolderWritable;
    };
    return environment;
}

const ProgramFolders kBeside{"/opt/cv", "/opt/cv/tmp", "/opt/cv/log", true};
const ProgramFolders kHomeXdg{"/home/op/.config/corvina", "/home/op/.local/share/corvina/received",
                              "/home/op/.local/state/corvina", false};
const std::map<std::string, std::string> kHome{{"HOME", "/home/op"}};

TEST(ChooseProgramFolders, PicksPortableOrPerUserFoldersFromWhatIsThere) {
    const FoldersCase cases[] = {
        {"installed copy uses the XDG defaults",
         FolderPlatform::Xdg,
         kHome,
         {},
         false,
         {},
         kHomeXdg},
        {"a marker in a folder nobody may write is ignored",
         FolderPlatform::Xdg,
         kHome,
         {"startup.txt"},
         false,
         {},
         kHomeXdg},
        {"writable folder without a marker stays installed",
         FolderPlatform::Xdg,
         kHome,
         {},
         true,
         {},
         kHomeXdg},
        {"startup.txt beside a writable executable",
         FolderPlatform::Xdg,
         kHome,
         {"startup.txt"},
         true,
         {},
         kBeside},
        {"shutdown.txt is a marker too",
         FolderPlatform::Xdg,
         kHome,
         {"shutdown.txt"},
         true,
         {},
         kBeside},
        {"an empty file named portable",
         FolderPlatform::Xdg,
         kHome,
         {"portable"},
         true,
         {},
         kBeside},
        {"--portable needs no marker", FolderPlatform::Xdg, kHome, {}, false, {true, {}}, kBeside},
        {"--folder wins over markers and --portable",
         FolderPlatform::Xdg,
         kHome,
         {"startup.txt"},
         true,
         {true, "/srv/station"},
         {"/srv/station", "/srv/station/tmp", "/srv/station/log", true}},
        {"XDG variables replace the defaults",
         FolderPlatform::Xdg,
         {{"HOME", "/home/op"},
          {"XDG_CONFIG_HOME", "/c"},
          {"XDG_DATA_HOME", "/d"},
          {"XDG_STATE_HOME", "/s"}},
         {},
         false,
         {},
         {"/c/corvina", "/d/corvina/received", "/s/corvina", false}},
        {"relative XDG variables are ignored",
         FolderPlatform::Xdg,
         {{"HOME", "/home/op"}, {"XDG_CONFIG_HOME", "conf"}, {"XDG_DATA_HOME", "."}},
         {},
         false,
         {},
         kHomeXdg},
        {"no home and no variables falls back to the executable's folder",
         FolderPlatform::Xdg,
         {},
         {},
         false,
         {},
         kBeside},
        {"Windows roaming scripts, local received files",
         FolderPlatform::Windows,
         {{"APPDATA", "/u/Roaming"}, {"LOCALAPPDATA", "/u/Local"}},
         {},
         false,
         {},
         {"/u/Roaming/Corvina", "/u/Local/Corvina/received", "/u/Local/Corvina/log", false}},
        {"macOS Application Support",
         FolderPlatform::MacOs,
         {{"HOME", "/Users/op"}},
         {},
         false,
         {},
         {"/Users/op/Library/Application Support/Corvina",
          "/Users/op/Library/Application Support/Corvina/received",
          "/Users/op/Library/Logs/Corvina", false}},
    };
    for (const FoldersCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ProgramFolders chosen = ChooseProgramFolders(c.request, FakeEnvironment(c));
        EXPECT_EQ(chosen.scriptFolder, c.expected.scriptFolder);
        EXPECT_EQ(chosen.receiveFolder, c.expected.receiveFolder);
        EXPECT_EQ(chosen.logFolder, c.expected.logFolder);
        EXPECT_EQ(chosen.portable, c.expected.portable);
    }
}

TEST(CreateProgramFolder, CreatesMissingParentsAndRefusesAFileInTheWay) {
    testing::TempFolder root;
    std::string error;
    const Path nested = root.path() / "share" / "corvina" / "received";
    ASSERT_TRUE(CreateProgramFolder(nested, error)) << error;
    EXPECT_TRUE(std::filesystem::is_directory(nested));
    EXPECT_TRUE(CreateProgramFolder(nested, error)) << "an existing folder is fine";

    root.Write("blocked", "x");
    EXPECT_FALSE(CreateProgramFolder(root.path() / "blocked" / "received", error));
    EXPECT_NE(error.find("Could not create "), std::string::npos) << error;
}

}  // namespace
}  // namespace corvina
