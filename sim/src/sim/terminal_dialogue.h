#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velksim {

// How a modem's terminal mode behaves when a client first talks to it.
struct TerminalOptions {
    // Printed at connect, before the first prompt; empty prints nothing.
    std::string banner;
    // Lower-case name of the sub-menu the modem starts in ("pac", "trx"...), or
    // empty for the command menu.
    std::string startMenu;
    // Prints nothing at all (no prompt, no echo) until a "QUIT" line arrives.
    bool silentUntilQuit = false;
};

// The modem's plain terminal mode: a line editor with echo, the "cmd:" menu and
// its sub-menus. Feed it the bytes the client sends; it appends what the modem
// prints to the result and reports when hostmode is entered. Not thread-safe:
// the owning modem serialises calls.
class TerminalDialogue {
  public:
    struct Result {
        std::vector<std::uint8_t> output;
        bool enterHostmode = false;
    };

    explicit TerminalDialogue(TerminalOptions options = {});

    // What a client sees when it connects: banner and prompt, or nothing when
    // silent.
    std::vector<std::uint8_t> Greeting() const;

    // Feeds one byte. `mycall` is the modem's call sign; MYCALL may change it.
    void Feed(std::uint8_t byte, std::string& mycall, Result& result);

    // Back from hostmode: the command menu and a fresh prompt in `result`.
    void ReturnFromHostmode(Result& result);

    // The prompt shown now, such as "cmd: " or "pac: ".
    std::string Prompt() const;

    // True while the modem prints nothing until "QUIT".
    bool silent() const { return silent_; }

  private:
    void RunLine(const std::string& line, std::string& mycall, Result& result);
    void RunMainCommand(const std::string& word, const std::string& argument, std::string& mycall,
                        Result& result);

    TerminalOptions options_;
    std::string menu_;  // empty for the command menu
    bool silent_ = false;
    std::string line_;
};

// True when `call` is 2..8 letters, digits or "-"; upper-cases it in place.
bool NormalizeModemCall(std::string& call);

}  // namespace velksim
