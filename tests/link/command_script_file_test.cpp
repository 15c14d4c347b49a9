#include "link/command_script_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "link/executable_path.h"
#include "support/temporary_folder.h"

namespace corvina {
namespace {

using Commands = std::vector<std::vector<std::uint8_t>>;

std::vector<std::uint8_t> Command(const std::string& text) {
    return {text.begin(), text.end()};
}

cvhost::CommandScript NonEmptyScript() {
    cvhost::CommandScript script;
    script.terminalCommands.push_back(Command("LEFTOVER"));
    script.modem.comPort = "COM1";
    return script;
}

class CommandScriptFileTest : public ::testing::Test {
  protected:
    bool Read(cvhost::CommandScript& script, std::string& error) {
        return ReadOptionalCommandScript(folder.path(), "startup.txt", script, error);
    }
    testing::TemporaryFolder folder;
};

TEST_F(CommandScriptFileTest, AbsentFileIsAnEmptyScript) {
    cvhost::CommandScript script = NonEmptyScript();
    std::string error = "untouched";
    EXPECT_TRUE(Read(script, error));
    EXPECT_EQ(script, cvhost::CommandScript{});
    EXPECT_EQ(error, "untouched");
}

TEST_F(CommandScriptFileTest, ScriptIsParsedWithDevicePathsKeptAsWritten) {
#ifdef _WIN32
    const std::string port = "COM12";
#else
    const std::string port = "/dev/ttyUSB0";
#endif
    folder.WriteFile("startup.txt", "\xEF\xBB\xBFMYCALL X\r\n[Host]\r\nI\r\n[Modem]\r\ncomport=" +
                                    port + "\r\ntelnet=\"Modem.Local\"\r\nautostart=on\r\n");
    cvhost::CommandScript script;
    std::string error;
    ASSERT_TRUE(Read(script, error)) << error;
    EXPECT_EQ(script.terminalCommands, Commands{Command("MYCALL X")});
    EXPECT_EQ(script.hostmodeCommands, Commands{Command("I")});
    EXPECT_EQ(script.modem.comPort, port);
    EXPECT_EQ(script.modem.telnetHost, "modem.local");
    EXPECT_TRUE(script.modem.autostart);
}

TEST_F(CommandScriptFileTest, BadFilesAreRefusedWithTheirMessageAndLeaveNoScript) {
    const std::string line(80, 'A');
    std::string atLimit;
    while (atLimit.size() + line.size() + 2 <= kCommandScriptMaximumBytes) {
        atLimit += line + "\r\n";
    }
    atLimit += std::string(kCommandScriptMaximumBytes - atLimit.size(), ' ');
    struct Case {
        const char* name;
        std::string content;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"65,537 bytes", atLimit + " ", "Could not read startup.txt"},
        {"a 10 MB line", std::string(10u << 20, 'X'), "Could not read startup.txt"},
        {"NUL bytes", std::string("OK\nBAD\0LINE\n", 12),
         "startup.txt: line 2: command is not ASCII text"},
        {"invalid UTF-8", "[Term]\n\xC3\x28\n", "startup.txt: line 2: command is not ASCII text"},
        {"unknown setting", "A\r\n\r\n[Modem]\r\nspeed=9600\r\n",
         "startup.txt: line 4: unknown modem setting"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        folder.WriteFile("startup.txt", c.content);
        cvhost::CommandScript script = NonEmptyScript();
        std::string error;
        EXPECT_FALSE(Read(script, error));
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(script, cvhost::CommandScript{});
    }

    folder.WriteFile("startup.txt", atLimit);
    cvhost::CommandScript script;
    std::string error;
    EXPECT_TRUE(Read(script, error)) << "a script of exactly the limit is read: " << error;
    EXPECT_FALSE(script.terminalCommands.empty());

    folder.WriteFile("startup.txt", "");
    EXPECT_TRUE(Read(script, error));
    EXPECT_EQ(script, cvhost::CommandScript{});
}

TEST_F(CommandScriptFileTest, SomethingThatIsNoFileCannotBeOpened) {
    std::filesystem::create_directory(folder.path() / "startup.txt");
    cvhost::CommandScript script;
    std::string error;
    EXPECT_FALSE(Read(script, error));
    EXPECT_EQ(error, "Could not open startup.txt");
}

TEST(CommandScriptBesideExecutableTest, ScriptIsFoundInTheProgramsFolder) {
    std::filesystem::path path;
    const std::string name = "corvina-test-" + std::to_string(getpid()) + ".txt";
    ASSERT_TRUE(ExecutableSiblingPath(name, path));
    { std::ofstream(path, std::ios::binary) << "[Host]\nJHOST0\n"; }
    cvhost::CommandScript script;
    std::string error;
    const bool ok = ReadOptionalCommandScript(name, script, error);
    std::filesystem::remove(path);
    ASSERT_TRUE(ok) << error;
    EXPECT_EQ(script.hostmodeCommands, Commands{Command("JHOST0")});
}

}  // namespace
}  // namespace corvina
