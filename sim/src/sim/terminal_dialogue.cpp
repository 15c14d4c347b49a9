#include "sim/terminal_dialogue.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace velksim {
namespace {

constexpr std::uint8_t kEscape = 0x1B;
constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;
constexpr std::uint8_t kBackspace = 0x08;
constexpr std::uint8_t kDelete = 0x7F;
constexpr std::size_t kMaxLine = 256;
constexpr std::size_t kMinCall = 2;
constexpr std::size_t kMaxCall = 8;

constexpr std::array<std::string_view, 9> kSubMenus = {"trx", "sys", "aud", "pac", "rcu",
                                                       "fax", "blu", "net", "bib"};

std::string Upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

void Append(std::vector<std::uint8_t>& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}

// MY, MYC, MYCA, MYCAL or MYCALL.
bool IsMycallWord(const std::string& word) {
    static constexpr std::string_view kMycall = "MYCALL";
    return word.size() >= 2 && word.size() <= kMycall.size() &&
           kMycall.substr(0, word.size()) == word;
}

}  // namespace

bool NormalizeModemCall(std::string& call) {
    if (call.size() < kMinCall || call.size() > kMaxCall) {
        return false;
    }
    std::string upper = call;
    for (char& c : upper) {
        const auto u = static_cast<unsigned char>(c);
        if (!(std::isalnum(u) && u < 0x80) && c != '-') {
            return false;
        }
        c = static_cast<char>(std::toupper(u));
    }
    call = std::move(upper);
    return true;
}

TerminalDialogue::TerminalDialogue(TerminalOptions options)
    : options_(std::move(options)), menu_(options_.startMenu), silent_(options_.silentUntilQuit) {}

std::string TerminalDialogue::Prompt() const {
    return (menu_.empty() ? std::string("cmd") : menu_) + ": ";
}

std::vector<std::uint8_t> TerminalDialogue::Greeting() const {
    std::vector<std::uint8_t> out;
    if (silent_) {
        return out;
    }
    if (!options_.banner.empty()) {
        Append(out, options_.banner);
        Append(out, "\r\n");
    }
    Append(out, Prompt());
    return out;
}

void TerminalDialogue::ReturnFromHostmode(Result& result) {
    menu_.clear();
    line_.clear();
    silent_ = false;
    Append(result.output, "\r\n");
    Append(result.output, Prompt());
}

void TerminalDialogue::Feed(std::uint8_t byte, std::string& mycall, Result& result) {
    if (byte == kEscape) {
        line_.clear();
        if (!silent_) {
            Append(result.output, "\r\n");
            Append(result.output, Prompt());
        }
        return;
    }
    if (byte == kCr) {
        std::string line;
        line.swap(line_);
        if (!silent_) {
            Append(result.output, "\r\n");
        }
        RunLine(line, mycall, result);
        return;
    }
    if (byte == kLf) {
        return;
    }
    if (byte == kBackspace || byte == kDelete) {
        if (!line_.empty()) {
            line_.pop_back();
            if (!silent_) {
                Append(result.output, "\b \b");
            }
        }
        return;
    }
    if (line_.size() >= kMaxLine) {
        return;
    }
    line_.push_back(static_cast<char>(byte));
    if (!silent_) {
        result.output.push_back(byte);
    }
}

void TerminalDialogue::RunLine(const std::string& line, std::string& mycall, Result& result) {
    const auto first = line.find_first_not_of(" \t");
    std::string word;
    std::string argument;
    if (first != std::string::npos) {
        const auto wordEnd = line.find_first_of(" \t", first);
        word = Upper(line.substr(first, wordEnd - first));
        if (wordEnd != std::string::npos) {
            const auto argStart = line.find_first_not_of(" \t", wordEnd);
            if (argStart != std::string::npos) {
                const auto argEnd = line.find_last_not_of(" \t");
                argument = line.substr(argStart, argEnd - argStart + 1);
            }
        }
    }

    if (silent_) {
        if (word == "QUIT") {
            silent_ = false;
            menu_.clear();
            Append(result.output, Prompt());
        }
        return;
    }
    if (!menu_.empty()) {
        if (word == "Q" || word == "QUIT") {
            menu_.clear();
        } else if (!word.empty()) {
            Append(result.output, "*** not available in this menu\r\n");
        }
        Append(result.output, Prompt());
        return;
    }
    RunMainCommand(word, argument, mycall, result);
}

void TerminalDialogue::RunMainCommand(const std::string& word, const std::string& argument,
                                      std::string& mycall, Result& result) {
    std::vector<std::uint8_t>& out = result.output;
    const std::string lower = [&] {
        std::string l = word;
        std::transform(l.begin(), l.end(), l.begin(), [](char c) {
            return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        });
        return l;
    }();
    if (word.empty() || word == "Q" || word == "QUIT") {
        // Already in the command menu.
    } else if (word == "JHOST5" || (word == "JHOST" && argument == "5")) {
        result.enterHostmode = true;
        return;  // from here on every byte is framed: no prompt
    } else if (word == "STATUS" || word == "KTMC") {
        Append(out, word + ": " + (argument.empty() ? std::string("0") : argument) + "\r\n");
    } else if (IsMycallWord(word)) {
        std::string call = argument;
        if (argument.empty()) {
            Append(out, "MYCALL: " + mycall + "\r\n");
        } else if (NormalizeModemCall(call)) {
            mycall = call;
            Append(out, "MYCALL: " + mycall + "\r\n");
        } else {
            Append(out, "*** invalid call sign\r\n");
        }
    } else if (std::find(kSubMenus.begin(), kSubMenus.end(), lower) != kSubMenus.end() &&
               argument.empty()) {
        menu_ = lower;
    } else {
        Append(out, "*** unknown command: " + word + "\r\n");
    }
    Append(out, Prompt());
}

}  // namespace velksim
