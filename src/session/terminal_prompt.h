#pragma once

#include <cstdint>
#include <vector>

namespace corvina {

// Which prompt stands last in a piece of terminal output.
enum class TerminalPrompt {
    Command,  // "cmd:" occurs and no other prompt occurs after it
    Other,    // another prompt ("pac:", "trx:", ...) is the last one
    None,     // no prompt at all
};

// Looks for the command prompt "cmd:" and the nine sub-menu prompts ("trx:",
// "sys:", "aud:", "pac:", "rcu:", "fax:", "blu:", "net:", "bib:") in `output`
// and tells which stands last. Pure; any thread.
TerminalPrompt LastTerminalPrompt(const std::vector<std::uint8_t>& output);

}  // namespace corvina
