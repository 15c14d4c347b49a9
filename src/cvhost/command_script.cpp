#include "cvhost/command_script.h"

#include <string_view>

#include "cvhost/modem_settings.h"
#include "cvhost/script_text.h"

namespace cvhost {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kMaxCommandSize = 256;

enum class Section { Term, Host, Modem };

void SetScriptError(std::string* error, std::size_t lineNumber, const char* message) {
    if (error != nullptr) {
        *error = "line " + std::to_string(lineNumber) + ": " + message;
    }
}

bool IsScriptText(std::string_view line) {
    for (char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (!(byte == '\t' || (byte >= 0x20 && byte <= 0x7E))) {
            return false;
        }
    }
    return true;
}

std::vector<std::uint8_t> ToBytes(std::string_view line) {
    return std::vector<std::uint8_t>(line.begin(), line.end());
}

// Walks the input line by line: CR, LF and CR LF each end one line.
class LineReader {
  public:
    explicit LineReader(std::string_view text) : text_(text) {}

    // The next line without its terminator; false at the end of input.
    bool Next(std::string_view& line) {
        if (pos_ >= text_.size()) {
            return false;
        }
        ++number_;
        const std::size_t end = text_.find_first_of("\r\n", pos_);
        if (end == std::string_view::npos) {
            line = text_.substr(pos_);
            pos_ = text_.size();
            return true;
        }
        line = text_.substr(pos_, end - pos_);
        pos_ = end + 1;
        if (text_[end] == '\r' && pos_ < text_.size() && text_[pos_] == '\n') {
            ++pos_;
        }
        return true;
    }

    std::size_t Number() const { return number_; }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t number_ = 0;
};

// Classifies one trimmed, non-empty line; false with `message` when the line
// is refused. Appends commands and settings as it goes.
bool ParseLine(std::string_view line, Section& section, CommandScript& script,
               ModemSettings& settings, std::string& message) {
    if (EqualsIgnoreAsciiCase(line, "[Term]")) {
        section = Section::Term;
        return true;
    }
    if (EqualsIgnoreAsciiCase(line, "[Host]")) {
        section = Section::Host;
        return true;
    }
    if (EqualsIgnoreAsciiCase(line, "[Modem]")) {
        section = Section::Modem;
        return true;
    }
    if (line.front() == '[' || line.back() == ']') {
        message = "unknown command section";
        return false;
    }
    if (line.size() > kMaxCommandSize) {
        message = "command exceeds 256 bytes";
        return false;
    }
    if (!IsScriptText(line)) {
        message = "command is not ASCII text";
        return false;
    }
    switch (section) {
        case Section::Term:
            script.terminalCommands.push_back(ToBytes(line));
            return true;
        case Section::Host:
            script.hostmodeCommands.push_back(ToBytes(line));
            return true;
        case Section::Modem:
            return settings.Apply(line, message);
    }
    return false;
}

}  // namespace

bool ParseCommandScript(const std::uint8_t* data, std::size_t size, CommandScript& script,
                        std::string* error, PortNaming naming) {
    script = CommandScript{};
    if (size == 0) {
        return true;
    }
    if (data == nullptr) {
        if (error != nullptr) {
            *error = "command script input is null";
        }
        return false;
    }

    std::string_view text(reinterpret_cast<const char*>(data), size);
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        text.remove_prefix(kByteOrderMark.size());
    }

    CommandScript parsed;
    ModemSettings settings(naming);
    Section section = Section::Term;
    LineReader reader(text);
    std::string_view rawLine;
    std::string message;
    while (reader.Next(rawLine)) {
        const std::string_view line = TrimBlanks(rawLine);
        if (line.empty()) {
            continue;
        }
        if (!ParseLine(line, section, parsed, settings, message)) {
            SetScriptError(error, reader.Number(), message.c_str());
            return false;
        }
    }
    parsed.modem = settings.Finish();
    script = std::move(parsed);
    return true;
}

}  // namespace cvhost
