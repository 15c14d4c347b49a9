#include "app/command_line.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <ostream>
#include <string_view>

#include "app/control_ids.h"

namespace corvina {
namespace {

constexpr int kUsageExitCode = 2;
constexpr std::uint32_t kHighestPort = 65535;

// The toolkit's options; it takes them with one dash or two, and those in the
// first list with their value as the next word or after '='.
constexpr std::array<std::string_view, 22> kToolkitOptionsWithValue = {"platform",
                                                                       "platformpluginpath",
                                                                       "platformtheme",
                                                                       "plugin",
                                                                       "qwindowgeometry",
                                                                       "geometry",
                                                                       "qwindowtitle",
                                                                       "title",
                                                                       "qwindowicon",
                                                                       "display",
                                                                       "style",
                                                                       "stylesheet",
                                                                       "session",
                                                                       "name",
                                                                       "font",
                                                                       "fn",
                                                                       "bg",
                                                                       "background",
                                                                       "fg",
                                                                       "foreground",
                                                                       "btn",
                                                                       "button"};
constexpr std::array<std::string_view, 7> kToolkitFlags = {
    "reverse", "widgetcount", "nograb", "dograb", "sync", "qmljsdebugger", "testability"};

constexpr const char* kUsage =
    "Usage: corvina [options]\n"
    "\n"
    "Terminal for Velk HF data modems in CRC hostmode, over a serial port or TCP.\n"
    "\n"
    "Options:\n"
    "  --portable             keep scripts and received files beside the program\n"
    "  --folder DIR           keep scripts in DIR and received files in DIR/tmp\n"
    "  --connect tcp:HOST[:PORT]\n"
    "  --connect serial:PATH  connect to this modem at start, whatever startup.txt\n"
    "                         chooses\n"
    "  --help                 show this text and exit\n"
    "  --version              show the version and exit\n"
    "\n"
    "Without --portable or --folder the program keeps a copy portable when\n"
    "startup.txt, shutdown.txt or a file named portable lies beside it in a folder\n"
    "it may write; otherwise scripts live in ~/.config/corvina, received files in\n"
    "~/.local/share/corvina/received and logs in ~/.local/state/corvina.\n";

// Splits "--name=value" (or "-name=value"); `name` has its dashes removed.
struct Option {
    std::string_view name;
    std::optional<std::string_view> value;
    bool doubleDash = false;
};

std::optional<Option> SplitOption(std::string_view word) {
    if (word.size() < 2 || word[0] != '-') {
        return std::nullopt;
    }
    Option option;
    option.doubleDash = word[1] == '-';
    word.remove_prefix(option.doubleDash ? 2 : 1);
    const std::size_t equals = word.find('=');
    option.name = word.substr(0, equals);
    if (equals != std::string_view::npos) {
        option.value = word.substr(equals + 1);
    }
    return option;
}

template <std::size_t N>
bool Contains(const std::array<std::string_view, N>& list, std::string_view name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

bool ParsePort(std::string_view text, std::uint16_t& port) {
    std::uint32_t value = 0;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (failure != std::errc() || end != text.data() + text.size() || value == 0 ||
        value > kHighestPort) {
        return false;
    }
    port = static_cast<std::uint16_t>(value);
    return true;
}

// "tcp:HOST[:PORT]" (an IPv6 address in brackets) or "serial:PATH".
std::optional<LinkOverride> ParseLink(std::string_view text) {
    LinkOverride link;
    if (text.starts_with("serial:")) {
        link.serial = true;
        link.devicePath = std::string(text.substr(7));
        return link.devicePath.empty() ? std::nullopt : std::optional(link);
    }
    if (!text.starts_with("tcp:")) {
        return std::nullopt;
    }
    std::string_view rest = text.substr(4);
    std::string_view host = rest;
    std::string_view port;
    if (rest.starts_with('[')) {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        host = rest.substr(1, close - 1);
        std::string_view after = rest.substr(close + 1);
        if (!after.empty()) {
            if (after[0] != ':') {
                return std::nullopt;
            }
            port = after.substr(1);
            if (port.empty()) {
                return std::nullopt;
            }
        }
    } else if (const std::size_t colon = rest.rfind(':'); colon != std::string_view::npos) {
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (host.find(':') != std::string_view::npos || port.empty()) {
            return std::nullopt;  // a bare IPv6 address is ambiguous
        }
    }
    if (host.empty() || (!port.empty() && !ParsePort(port, link.port))) {
        return std::nullopt;
    }
    link.host = std::string(host);
    return link;
}

CommandLine Fail(std::string error) {
    CommandLine line;
    line.action = CommandLineAction::Error;
    line.error = std::move(error);
    return line;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    CommandLine line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        const std::optional<Option> option = SplitOption(word);
        if (!option) {
            return Fail("unexpected argument '" + word + "'");
        }
        // The value of an option that takes one: after '=' or the next word.
        const auto takeValue = [&]() -> std::optional<std::string> {
            if (option->value) {
                return std::string(*option->value);
            }
            if (i + 1 < arguments.size()) {
                return arguments[++i];
            }
            return std::nullopt;
        };
        const std::string_view name = option->name;
        const bool ours = option->doubleDash || name == "h";
        if (ours && (name == "help" || name == "h") && !option->value) {
            line.action = CommandLineAction::Help;
            return line;
        }
        if (ours && name == "version" && !option->value) {
            line.action = CommandLineAction::Version;
            return line;
        }
        if (ours && name == "portable" && !option->value) {
            line.folders.portable = true;
        } else if (ours && name == "folder") {
            const std::optional<std::string> folder = takeValue();
            if (!folder || folder->empty()) {
                return Fail("--folder needs a folder");
            }
            line.folders.folder = std::filesystem::path(
                std::u8string(reinterpret_cast<const char8_t*>(folder->data()), folder->size()));
        } else if (ours && name == "connect") {
            const std::optional<std::string> value = takeValue();
            line.connect = value ? ParseLink(*value) : std::nullopt;
            if (!line.connect) {
                return Fail("--connect needs tcp:HOST[:PORT] (port 1 to 65535) or serial:PATH");
            }
        } else if (Contains(kToolkitOptionsWithValue, name)) {
            if (!option->value && !takeValue()) {
                return Fail("option '" + word + "' needs a value");
            }
        } else if (!Contains(kToolkitFlags, name)) {
            return Fail("unknown option '" + word + "'");
        }
    }
    return line;
}

std::optional<int> AnswerWithoutWindow(const CommandLine& line, std::ostream& out,
                                       std::ostream& err) {
    switch (line.action) {
        case CommandLineAction::Run:
            return std::nullopt;
        case CommandLineAction::Help:
            out << kUsage;
            return 0;
        case CommandLineAction::Version:
            out << kWindowTitle << '\n';
            return 0;
        case CommandLineAction::Error:
            err << "corvina: " << line.error << "\nTry 'corvina --help' for more information.\n";
            return kUsageExitCode;
    }
    return kUsageExitCode;
}

}  // namespace corvina
