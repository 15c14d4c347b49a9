#include "link/command_script_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <optional>

#include "link/executable_path.h"
#include "support/temporary_folder.h"

namespace corvina {
namespace {

using Commands = std::vector<std::vector<std::uint8_t>>;

std::vector<std::uint8_t> Command(const std::string& text) {
    return {text.begin(), text.end()};
}

TEST(CommandScriptFileTest, FileIsReadUpToItsLimitAndAFailureLeavesNoScript) {
    const std::string line(80, 'A');
    std::string atLimit;
    while (atLimit.size() + line.size() + 2 <= kCommandScriptMaximumBytes) {
        atLimit += line + "\r\n";
    }
    atLimit += std::string(kCommandScriptMaximumBytes - atLimit.size(), ' ');
    const struct {
        const char* name;
        std::optional<std::string> content;  // none: no file; "/": a folder of that name
        std::string error;                   // empty: read
    } cases[] = {
        {"absent", std::nullopt, ""},
        {"empty", "", ""},
        {"exactly the limit", atLimit, ""},
        {"one byte over", atLimit + " ", "Could not read startup.txt"},
        {"a folder", "/", "Could not open startup.txt"},
        {"unknown setting", "A\r\n\r\n[Modem]\r\nspeed=9600\r\n",
         "startup.txt: line 4: unknown modem setting"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::TemporaryFolder folder;
        if (c.content == "/") {
            std::filesystem::create_directory(folder.path() / "startup.txt");
        } else if (c.content) {
            folder.WriteFile("startup.txt", *c.content);
        }
        cvhost::CommandScript script;
        script.terminalCommands.push_back(Command("LEFTOVER"));
        std::string error = "untouched";
        EXPECT_EQ(ReadOptionalCommandScript(folder.path(), "startup.txt", script, error),
                  c.error.empty());
        EXPECT_EQ(error, c.error.empty() ? "untouched" : c.error);
        EXPECT_EQ(script.terminalCommands.empty(), c.content != atLimit);
    }
}

TEST(CommandScriptFileTest, ScriptBesideTheProgramIsParsedWithDevicePathsKeptAsWritten) {
#ifdef _WIN32
    const std::string port = "COM12";
#else
    const std::string port = "/dev/ttyUSB0";
#endif
    std::filesystem::path path;
    const std::string name = "corvina-test-" + std::to_string(getpid()) + ".txt";
    ASSERT_TRUE(ExecutableSiblingPath(name, path));
    std::ofstream(path, std::ios::binary) << "MYCALL X\r\n[Modem]\r\ncomport=" + port + "\r\n";
    cvhost::CommandScript script;
    std::string error;
    const bool read = ReadOptionalCommandScript(name, script, error);
    std::filesystem::remove(path);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(script.terminalCommands, Commands{Command("MYCALL X")});
    EXPECT_EQ(script.modem.comPort, port);
}

}  // namespace
}  // namespace corvina
