#include "session/terminal_prompt.h"

#include <gtest/gtest.h>

#include <string>

namespace corvina {
namespace {

TEST(LastTerminalPrompt, TellsWhichPromptStandsLast) {
    struct Case {
        std::string output;
        TerminalPrompt expected;
    };
    const Case cases[] = {
        {"\r\ncmd: ", TerminalPrompt::Command},
        {"pac: ...\r\ncmd: ", TerminalPrompt::Command},
        {"cmd: STATUS 2\r\npac: ", TerminalPrompt::Other},
        {"cmd: later trx: prompt", TerminalPrompt::Other},
        {"bib:", TerminalPrompt::Other},
        {"net: then sys: then aud:", TerminalPrompt::Other},
        {"", TerminalPrompt::None},
        {"VELK modem ready\r\n", TerminalPrompt::None},
        {"cmd", TerminalPrompt::None},
        {"CMD:", TerminalPrompt::None},
        {"cmd:cmd:pac:cmd:", TerminalPrompt::Command},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        EXPECT_EQ(LastTerminalPrompt(std::vector<std::uint8_t>(c.output.begin(), c.output.end())),
                  c.expected);
    }
}

}  // namespace
}  // namespace corvina
