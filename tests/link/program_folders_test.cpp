#include "link/program_folders.h"

#include <gtest/gtest.h>

#include <map>

#include "support/temporary_folder.h"

namespace corvina {
namespace {

using Path = std::filesystem::path;
using Variables = std::map<std::string, std::string>;

// A system whose executable lies in /opt/cv beside at most `marker`.
FolderEnvironment FakeEnvironment(FolderPlatform platform, const Variables& variables,
                                  std::string marker = {}, bool writable = false) {
    FolderEnvironment environment;
    environment.platform = platform;
    environment.executableFolder = "/opt/cv";
    environment.variable = [variables](std::string_view name) {
        const auto found = variables.find(std::string(name));
        return found == variables.end() ? std::string() : found->second;
    };
    environment.exists = [marker](const Path& path) {
        return !marker.empty() && path == Path("/opt/cv") / marker;
    };
    environment.writableFolder = [writable](const Path& path) {
        return writable && path == "/opt/cv";
    };
    return environment;
}

void ExpectFolders(const ProgramFolders& chosen, const ProgramFolders& expected) {
    EXPECT_EQ(chosen.scriptFolder, expected.scriptFolder);
    EXPECT_EQ(chosen.receiveFolder, expected.receiveFolder);
    EXPECT_EQ(chosen.logFolder, expected.logFolder);
    EXPECT_EQ(chosen.portable, expected.portable);
}

const Variables kHome{{"HOME", "/home/op"}};

TEST(ChooseProgramFolders, IsPortableOnlyWithAMarkerInAWritableFolderOrWhenAsked) {
#ifdef _WIN32
    GTEST_SKIP() << "the fake environment speaks in POSIX paths, which have no drive on Windows";
#endif
    const ProgramFolders beside{"/opt/cv", "/opt/cv/tmp", "/opt/cv/log", true};
    const ProgramFolders station{"/srv/st", "/srv/st/tmp", "/srv/st/log", true};
    const ProgramFolders installed{"/home/op/.config/corvina",
                                   "/home/op/.local/share/corvina/received",
                                   "/home/op/.local/state/corvina", false};
    struct {
        const char* marker;
        bool writable;
        FolderRequest request;
        const ProgramFolders& expected;
    } cases[] = {
        {"", false, {}, installed},
        {"", true, {}, installed},
        {"startup.txt", false, {}, installed},
        {"startup.txt", true, {}, beside},
        {"shutdown.txt", true, {}, beside},
        {"portable", true, {}, beside},
        {"readme.txt", true, {}, installed},
        {"", false, {true, {}}, beside},
        {"startup.txt", true, {true, "/srv/st"}, station},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.marker) + (c.writable ? " writable" : " read-only") +
                     (c.request.portable ? " --portable" : "") + " " + c.request.folder.string());
        ExpectFolders(ChooseProgramFolders(c.request, FakeEnvironment(FolderPlatform::Xdg, kHome,
                                                                      c.marker, c.writable)),
                      c.expected);
    }
}

TEST(ChooseProgramFolders, UsesEachPlatformsPerUserFolders) {
#ifdef _WIN32
    GTEST_SKIP() << "the fake environment speaks in POSIX paths, which have no drive on Windows";
#endif
    struct {
        const char* name;
        FolderPlatform platform;
        Variables variables;
        ProgramFolders expected;
    } cases[] = {
        {"XDG variables",
         FolderPlatform::Xdg,
         {{"HOME", "/h"},
          {"XDG_CONFIG_HOME", "/c"},
          {"XDG_DATA_HOME", "/d"},
          {"XDG_STATE_HOME", "/s"}},
         {"/c/corvina", "/d/corvina/received", "/s/corvina", false}},
        {"relative XDG variables are ignored",
         FolderPlatform::Xdg,
         {{"HOME", "/h"}, {"XDG_CONFIG_HOME", "c"}, {"XDG_DATA_HOME", "."}},
         {"/h/.config/corvina", "/h/.local/share/corvina/received", "/h/.local/state/corvina",
          false}},
        {"no home: the executable's folder",
         FolderPlatform::Xdg,
         {},
         {"/opt/cv", "/opt/cv/tmp", "/opt/cv/log", true}},
        {"Windows",
         FolderPlatform::Windows,
         {{"APPDATA", "/r"}, {"LOCALAPPDATA", "/l"}},
         {"/r/Corvina", "/l/Corvina/received", "/l/Corvina/log", false}},
        {"macOS",
         FolderPlatform::MacOs,
         {{"HOME", "/U"}},
         {"/U/Library/Application Support/Corvina",
          "/U/Library/Application Support/Corvina/received", "/U/Library/Logs/Corvina", false}},
    };
    EXPECT_TRUE(PortableFolders({}).receiveFolder.empty()) << "never a relative tmp";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectFolders(ChooseProgramFolders({}, FakeEnvironment(c.platform, c.variables)),
                      c.expected);
    }
}

TEST(CreateProgramFolder, CreatesMissingParentsAndRefusesAFileInTheWay) {
    testing::TemporaryFolder root;
    std::string error;
    const Path nested = root.path() / "share" / "corvina" / "received";
    ASSERT_TRUE(CreateProgramFolder(nested, error)) << error;
    EXPECT_TRUE(std::filesystem::is_directory(nested));
    EXPECT_TRUE(CreateProgramFolder(nested, error)) << "an existing folder is fine";

    root.WriteFile("blocked", "x");
    EXPECT_FALSE(CreateProgramFolder(root.path() / "blocked" / "received", error));
    EXPECT_NE(error.find("Could not create "), std::string::npos) << error;
}

}  // namespace
}  // namespace corvina
