#include "cli/cli_options.h"

#include <charconv>
#include <limits>

namespace corvina::cli {
namespace {

template <typename T>
bool ParseNumber(std::string_view text, T low, T high, T& value) {
    std::uint64_t parsed = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || parsed < low ||
        parsed > high) {
        return false;
    }
    value = static_cast<T>(parsed);
    return true;
}

bool ParseTcp(std::string_view rest, ModemAddress& address) {
    std::string_view host = rest;
    std::string_view port;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string_view::npos) {
            return false;
        }
        host = rest.substr(1, close - 1);
        const std::string_view after = rest.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') {
                return false;
            }
            port = after.substr(1);
            if (port.empty()) {
                return false;
            }
        }
    } else if (const auto colon = rest.rfind(':'); colon != std::string_view::npos) {
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (port.empty()) {
            return false;
        }
    }
    if (host.empty()) {
        return false;
    }
    address.kind = ModemAddress::Kind::Tcp;
    address.host = std::string(host);
    address.port = 3000;
    return port.empty() || ParseNumber<std::uint16_t>(port, 1, 65535, address.port);
}

bool ParseSerial(std::string_view rest, ModemAddress& address) {
    std::string_view path = rest;
    address.baudRate = 0;
    if (const auto at = rest.rfind('@'); at != std::string_view::npos) {
        path = rest.substr(0, at);
        if (!ParseNumber<std::uint32_t>(rest.substr(at + 1), 1,
                                        std::numeric_limits<std::uint32_t>::max(),
                                        address.baudRate)) {
            return false;
        }
    }
    if (path.empty()) {
        return false;
    }
    address.kind = ModemAddress::Kind::Serial;
    address.device = std::string(path);
    return true;
}

}  // namespace

bool ParseModemAddress(std::string_view text, ModemAddress& address, std::string& error) {
    constexpr std::string_view kTcp = "tcp:";
    constexpr std::string_view kSerial = "serial:";
    ModemAddress parsed;
    const bool ok = text.starts_with(kTcp)      ? ParseTcp(text.substr(kTcp.size()), parsed)
                    : text.starts_with(kSerial) ? ParseSerial(text.substr(kSerial.size()), parsed)
                                                : false;
    if (!ok) {
        error = "--modem wants tcp:HOST[:PORT] or serial:PATH[@BAUD], not \"" + std::string(text) +
                "\"";
        return false;
    }
    address = parsed;
    return true;
}

bool ParseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
    options = Options{};
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        options.command = Command::Help;
        return true;
    }
    if (args[0] == "send") {
        options.command = Command::Send;
    } else if (args[0] == "listen") {
        options.command = Command::Listen;
    } else if (args[0] == "chat") {
        options.command = Command::Chat;
    } else {
        error = "unknown command \"" + args[0] + "\"";
        return false;
    }
    std::vector<std::string> positional;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return true;
        }
        if (arg == "--json") {
            options.json = true;
            continue;
        }
        if (!arg.starts_with("--")) {
            positional.push_back(arg);
            continue;
        }
        if (i + 1 >= args.size()) {
            error = arg + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        if (arg == "--to") {
            options.to = value;
        } else if (arg == "--into") {
            options.into = value;
        } else if (arg == "--modem") {
            if (!ParseModemAddress(value, options.modem, error)) {
                return false;
            }
        } else if (arg == "--script") {
            options.script = value;
        } else if (arg == "--log") {
            options.log = value;
        } else if (arg == "--shutdown") {
            options.shutdown = value;
        } else if (arg == "--timeout") {
            std::uint32_t seconds = 0;
            if (!ParseNumber<std::uint32_t>(value, 0, 86400 * 366, seconds)) {
                error = "--timeout wants whole seconds, not \"" + value + "\"";
                return false;
            }
            options.timeout = std::chrono::seconds(seconds);
        } else if (arg == "--channel") {
            if (!ParseNumber<std::uint8_t>(value, 1, 31, options.channel)) {
                error = "--channel wants a hostmode channel from 1 to 31";
                return false;
            }
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    const bool wantsFile = options.command == Command::Send;
    if (positional.size() != (wantsFile ? 1u : 0u)) {
        error = wantsFile ? "send wants exactly one FILE" : "unexpected argument " + positional[0];
        return false;
    }
    if (wantsFile) {
        options.file = positional[0];
    }
    if (options.command != Command::Listen && options.to.empty()) {
        error = "--to CALL is missing";
        return false;
    }
    if (options.command == Command::Listen && options.into.empty()) {
        error = "--into DIR is missing";
        return false;
    }
    return true;
}

}  // namespace corvina::cli
