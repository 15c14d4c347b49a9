#include "link/program_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "link/executable_path.h"
#include "support/temporary_folder.h"

namespace corvina {
namespace {

using Path = std::filesystem::path;
using Variables = std::map<std::string, std::string>;

// The fake environment speaks in POSIX paths, which have no drive on Windows.
#ifndef _WIN32
TEST(ChooseProgramFolders, PortableBesideAWritableMarkerOrWhenAskedElseEachPlatformsUserFolders) {
    const FolderPlatform xdg = FolderPlatform::Xdg;
    const FolderPlatform windows = FolderPlatform::Windows;
    const FolderPlatform mac = FolderPlatform::MacOs;
    const Variables none;
    const Variables home{{"HOME", "/home/op"}};
    // Relative variables are ignored, so a stray "XDG_DATA_HOME=." cannot scatter files.
    const Variables relative{{"HOME", "/h"}, {"XDG_CONFIG_HOME", "c"}, {"XDG_DATA_HOME", "."}};
    const Variables xdgSet{{"HOME", "/h"},
                           {"XDG_CONFIG_HOME", "/c"},
                           {"XDG_DATA_HOME", "/d"},
                           {"XDG_STATE_HOME", "/s"}};
    const Variables appData{{"APPDATA", "/r"}, {"LOCALAPPDATA", "/l"}};
    const Variables macHome{{"HOME", "/U"}};
    const ProgramFolders beside{"/opt/cv", "/opt/cv/tmp", "/opt/cv/log", true};
    const ProgramFolders homeXdg{"/home/op/.config/corvina",
                                 "/home/op/.local/share/corvina/received",
                                 "/home/op/.local/state/corvina", false};
    const ProgramFolders station{"/srv/st", "/srv/st/tmp", "/srv/st/log", true};
    const ProgramFolders fromXdg{"/c/corvina", "/d/corvina/received", "/s/corvina", false};
    const ProgramFolders fromRelative{"/h/.config/corvina", "/h/.local/share/corvina/received",
                                      "/h/.local/state/corvina", false};
    const ProgramFolders fromAppData{"/r/Corvina", "/l/Corvina/received", "/l/Corvina/log", false};
    const ProgramFolders fromMac{"/U/Library/Application Support/Corvina",
                                 "/U/Library/Application Support/Corvina/received",
                                 "/U/Library/Logs/Corvina", false};
    const struct {
        const char* marker;  // the one file beside the executable in /opt/cv
        bool writable;
        FolderRequest request;
        FolderPlatform platform;
        const Variables& variables;
        const ProgramFolders& expected;
    } cases[] = {
        {"", true, {}, xdg, home, homeXdg},
        {"startup.txt", false, {}, xdg, home, homeXdg},
        {"startup.txt", true, {}, xdg, home, beside},
        {"shutdown.txt", true, {}, xdg, home, beside},
        {"portable", true, {}, xdg, home, beside},
        {"readme.txt", true, {}, xdg, home, homeXdg},
        {"", false, {true, {}}, xdg, home, beside},
        {"startup.txt", true, {true, "/srv/st"}, xdg, home, station},
        {"", false, {}, xdg, xdgSet, fromXdg},
        {"", false, {}, xdg, relative, fromRelative},
        {"", false, {}, xdg, none, beside},
        {"", false, {}, windows, appData, fromAppData},
        {"", false, {}, windows, macHome, beside},
        {"", false, {}, mac, macHome, fromMac},
        {"", false, {}, mac, appData, beside},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << &c - cases << ": " << c.marker);
        FolderEnvironment environment;
        environment.platform = c.platform;
        environment.executableFolder = "/opt/cv";
        environment.variable = [&c](std::string_view name) {
            const auto found = c.variables.find(std::string(name));
            return found == c.variables.end() ? std::string() : found->second;
        };
        environment.exists = [&c](const Path& path) { return path == Path("/opt/cv") / c.marker; };
        environment.writableFolder = [&c](const Path& path) {
            return c.writable && path == "/opt/cv";
        };
        const ProgramFolders chosen = ChooseProgramFolders(c.request, environment);
        EXPECT_EQ(chosen.scriptFolder, c.expected.scriptFolder);
        EXPECT_EQ(chosen.receiveFolder, c.expected.receiveFolder);
        EXPECT_EQ(chosen.logFolder, c.expected.logFolder);
        EXPECT_EQ(chosen.portable, c.expected.portable);
    }
    EXPECT_TRUE(PortableFolders({}).receiveFolder.empty()) << "never a relative tmp";
}

TEST(ChooseProgramFolders, SystemEnvironmentReadsTheRealSystem) {
    testing::TemporaryFolder folder;
    const FolderEnvironment system = SystemFolderEnvironment();
    Path executable;
    ASSERT_TRUE(ExecutablePath(executable));
    EXPECT_EQ(system.executableFolder, executable.parent_path());
    EXPECT_TRUE(system.exists(executable));
    EXPECT_FALSE(system.exists(folder.path() / "absent"));
    EXPECT_TRUE(system.writableFolder(folder.path()));
    EXPECT_FALSE(system.writableFolder(folder.path() / "absent"));
    setenv("CORVINA_TEST_VARIABLE", "/x", 1);
    EXPECT_EQ(system.variable("CORVINA_TEST_VARIABLE"), "/x");
    // Without HOME the user database still names the home folder.
    const std::string home = system.variable("HOME");
    unsetenv("HOME");
    EXPECT_FALSE(system.variable("HOME").empty());
    EXPECT_EQ(system.variable("CORVINA_UNSET_VARIABLE"), "");
    setenv("HOME", home.c_str(), 1);
}
#endif

TEST(CreateProgramFolder, CreatesMissingParentsAndRefusesAFileInTheWay) {
    testing::TemporaryFolder root;
    std::string error;
    const Path nested = root.path() / "share" / "corvina" / "received";
    ASSERT_TRUE(CreateProgramFolder(nested, error)) << error;
    EXPECT_TRUE(std::filesystem::is_directory(nested));
    EXPECT_TRUE(CreateProgramFolder(nested, error)) << "an existing folder is fine";
    root.WriteFile("blocked", "x");
    EXPECT_FALSE(CreateProgramFolder(root.path() / "blocked" / "received", error));
    EXPECT_EQ(error.rfind("Could not create ", 0), 0u) << error;
}

}  // namespace
}  // namespace corvina
