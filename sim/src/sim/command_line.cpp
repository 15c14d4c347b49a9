#include "sim/command_line.h"

#include <charconv>
#include <limits>

namespace velksim {
namespace {

template <typename T>
bool ParseNumber(const std::string& text, T& value, T min = std::numeric_limits<T>::min(),
                 T max = std::numeric_limits<T>::max()) {
    if (text.empty()) {
        return false;
    }
    if constexpr (std::is_floating_point_v<T>) {
        try {
            std::size_t used = 0;
            const double parsed = std::stod(text, &used);
            if (used != text.size() || !(parsed >= min && parsed <= max)) {
                return false;
            }
            value = static_cast<T>(parsed);
            return true;
        } catch (const std::exception&) {
            return false;
        }
    } else {
        T parsed{};
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
        if (ec != std::errc() || end != text.data() + text.size() || parsed < min || parsed > max) {
            return false;
        }
        value = parsed;
        return true;
    }
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const auto at = text.find(separator, start);
        parts.push_back(text.substr(start, at - start));
        if (at == std::string::npos) {
            return parts;
        }
        start = at + 1;
    }
}

bool ParseEndpointOrOption(const std::string& item, ModemOptions& modem, bool& sawTcp,
                           std::string& error) {
    const auto eq = item.find('=');
    const std::string key = item.substr(0, eq);
    const std::string value = eq == std::string::npos ? std::string() : item.substr(eq + 1);
    FaultSettings& f = modem.faults;
    auto bad = [&] {
        error = "invalid modem option \"" + item + "\"";
        return false;
    };
    if (item.rfind("tcp:", 0) == 0) {
        const std::vector<std::string> parts = Split(item.substr(4), ':');
        std::uint16_t port = 0;
        if (parts.size() == 1 && ParseNumber(parts[0], port)) {
            modem.tcpPort = port;
        } else if (parts.size() == 2 && !parts[0].empty() && ParseNumber(parts[1], port)) {
            modem.tcpAddress = parts[0];
            modem.tcpPort = port;
        } else {
            return bad();
        }
        sawTcp = true;
        return true;
    }
    if (item.rfind("pty:", 0) == 0) {
        if (item.size() == 4) {
            return bad();
        }
        modem.pty = true;
        modem.ptyLink = item.substr(4);
        return true;
    }
    if (key == "call" && !value.empty()) {
        modem.call = value;
        return true;
    }
    if (item == "telnet-offers") {
        modem.telnetOffers = true;
        return true;
    }
    if (key == "menu" && !value.empty()) {
        modem.terminal.startMenu = value;
        return true;
    }
    if (item == "silent") {
        modem.terminal.silentUntilQuit = true;
        return true;
    }
    if (key == "banner") {
        modem.terminal.banner = value;
        return true;
    }
    if (item == "reject-data") {
        f.rejectData = true;
        return true;
    }
    bool ok = false;
    if (key == "drop-every") {
        ok = ParseNumber(value, f.dropEveryNth);
    } else if (key == "drop-p") {
        ok = ParseNumber(value, f.dropProbability, 0.0, 1.0);
    } else if (key == "corrupt-every") {
        ok = ParseNumber(value, f.corruptEveryNth);
    } else if (key == "late-every") {
        ok = ParseNumber(value, f.lateEveryNth);
    } else if (key == "late-ms") {
        ok = ParseNumber(value, f.lateMs);
    } else if (key == "garbage-every") {
        ok = ParseNumber(value, f.garbageEveryNth);
    } else if (key == "marker-every") {
        ok = ParseNumber(value, f.markerEveryNth);
    } else if (key == "frames-waiting") {
        ok = ParseNumber(value, f.reportFramesWaiting, 0);
    } else if (key == "close-at") {
        ok = ParseNumber(value, f.closeAtRequest);
    } else if (key == "chatter") {
        ok = ParseNumber(value, f.chatterMs);
    } else if (key == "lose-link-after") {
        ok = ParseNumber(value, f.loseLinkAfterAirBytes);
    }
    return ok || bad();
}

bool ParseModem(const std::string& spec, ModemOptions& modem, std::string& error) {
    const auto at = spec.find('@');
    if (at == std::string::npos || at == 0) {
        error = "--modem needs NAME@ENDPOINT, got \"" + spec + "\"";
        return false;
    }
    modem.name = spec.substr(0, at);
    bool sawTcp = false;
    for (const std::string& item : Split(spec.substr(at + 1), ',')) {
        if (!ParseEndpointOrOption(item, modem, sawTcp, error)) {
            return false;
        }
    }
    modem.tcp = sawTcp;
    if (!modem.tcp && !modem.pty) {
        error = "modem " + modem.name + " has neither a tcp: nor a pty: endpoint";
        return false;
    }
    return true;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& result,
                      std::string& error) {
    result = CommandLine{};
    SimulatorOptions& options = result.options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto next = [&](std::string& value) {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        std::string value;
        if (arg == "--help" || arg == "-h") {
            result.help = true;
        } else if (arg == "--modem") {
            ModemOptions modem;
            if (!next(value) || !ParseModem(value, modem, error)) {
                return false;
            }
            options.modems.push_back(std::move(modem));
        } else if (arg == "--discovery") {
            options.discovery.enabled = true;
        } else if (arg.rfind("--discovery=", 0) == 0) {
            options.discovery.enabled = true;
            const std::vector<std::string> parts = Split(arg.substr(12), ':');
            if (parts.size() != 2 || parts[0].empty() ||
                !ParseNumber(parts[1], options.discovery.port)) {
                error = "--discovery=ADDRESS:PORT expected, got \"" + arg + "\"";
                return false;
            }
            options.discovery.address = parts[0];
        } else if (arg == "--time-scale") {
            if (!next(value) || !ParseNumber(value, options.channel.timeScale, 0.001, 100000.0)) {
                error = "--time-scale needs a number from 0.001 to 100000";
                return false;
            }
        } else if (arg == "--arq-level") {
            if (!next(value) || !ParseNumber<std::uint8_t>(value, options.channel.arqLevel, 1, 4)) {
                error = "--arq-level needs a level from 1 to 4";
                return false;
            }
        } else if (arg == "--level") {
            const std::vector<std::string> parts =
                next(value) ? Split(value, ':') : std::vector<std::string>{};
            std::size_t level = 0;
            LevelRate rate{0, 0};
            if (parts.size() < 2 || parts.size() > 3 ||
                !ParseNumber<std::size_t>(parts[0], level, 1, 4) ||
                !ParseNumber(parts[1], rate.bytesPerSecond, 0.1, 1e7)) {
                error = "--level needs N:BYTES_PER_SECOND[:BLOCK_BYTES] with N from 1 to 4";
                return false;
            }
            rate.blockBytes = options.channel.levels[level].blockBytes;
            if (parts.size() == 3 &&
                !ParseNumber<std::uint32_t>(parts[2], rate.blockBytes, 1, 65536)) {
                error = "--level block size must be 1..65536 bytes";
                return false;
            }
            options.channel.levels[level] = rate;
        } else if (arg == "--seed") {
            if (!next(value) || !ParseNumber(value, options.seed)) {
                error = "--seed needs a number";
                return false;
            }
        } else if (arg == "--log-frames") {
            result.logFrames = true;
        } else {
            error = "unknown argument \"" + arg + "\"";
            return false;
        }
    }
    if (options.modems.empty() && !result.help) {
        error = "at least one --modem is needed";
        return false;
    }
    return true;
}

std::string UsageText() {
    return "usage: velksim --modem NAME@ENDPOINT[,ENDPOINT|OPTION...] [--modem ...]\n"
           "               [--discovery[=ADDRESS:PORT]] [--time-scale X] [--arq-level N]\n"
           "               [--level N:BYTES_PER_SECOND[:BLOCK_BYTES]] [--seed N] [--log-frames]\n"
           "\n"
           "ENDPOINT  tcp:ADDRESS:PORT, tcp:PORT (on 127.0.0.1) or pty:PATH (a symlink to a\n"
           "          pseudo-terminal that a program opens as its serial port)\n"
           "OPTION    call=CALL  telnet-offers  menu=pac  silent  banner=TEXT\n"
           "          faults: drop-every=N drop-p=P corrupt-every=N late-every=N late-ms=N\n"
           "          garbage-every=N marker-every=N reject-data frames-waiting=N close-at=N\n"
           "          lose-link-after=BYTES chatter=MS\n"
           "\n"
           "Example: velksim --modem DEMO1@tcp:127.0.0.1:3001 \\\n"
           "                 --modem DEMO2@tcp:127.0.0.1:3002,pty:/tmp/velk-demo2 --discovery\n"
           "Stop with Ctrl+C.\n";
}

}  // namespace velksim
