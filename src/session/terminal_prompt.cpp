#include "session/terminal_prompt.h"

#include <array>
#include <string_view>

namespace corvina {
namespace {

constexpr std::string_view kCommandPrompt = "cmd:";
constexpr std::array<std::string_view, 9> kOtherPrompts = {
    "trx:", "sys:", "aud:", "pac:", "rcu:", "fax:", "blu:", "net:", "bib:",
};

}  // namespace

TerminalPrompt LastTerminalPrompt(const std::vector<std::uint8_t>& output) {
    const std::string_view text(reinterpret_cast<const char*>(output.data()), output.size());
    const std::size_t command = text.rfind(kCommandPrompt);
    std::size_t other = std::string_view::npos;
    for (std::string_view prompt : kOtherPrompts) {
        const std::size_t at = text.rfind(prompt);
        if (at != std::string_view::npos && (other == std::string_view::npos || at > other)) {
            other = at;
        }
    }
    if (command != std::string_view::npos && (other == std::string_view::npos || other < command)) {
        return TerminalPrompt::Command;
    }
    return other != std::string_view::npos ? TerminalPrompt::Other : TerminalPrompt::None;
}

}  // namespace corvina
