#include "cvhost/modem_settings.h"

#include <array>
#include <cstdint>

#include "cvhost/script_text.h"

namespace cvhost {
namespace {

constexpr char kQuote = '"';
constexpr char kEquals = '=';

constexpr std::string_view kComPrefix = "com";
constexpr std::uint32_t kMinComNumber = 1;
constexpr std::uint32_t kMaxComNumber = 256;
constexpr std::string_view kDevicePrefix = "/dev/";
constexpr std::size_t kMaxTelnetHost = 255;

constexpr std::array<std::uint32_t, 5> kBaudRates = {9600, 19200, 38400, 57600, 115200};

struct ModelName {
    std::string_view name;
    ModemModel model;
};
constexpr std::array<ModelName, 4> kModels = {{
    {"ktm-ii", ModemModel::Ktm2},
    {"hr-5900", ModemModel::Hr5900},
    {"hr-3300", ModemModel::Hr3300},
    {"hr-3700", ModemModel::Hr3700},
}};

bool Fail(std::string& message, std::string text) {
    message = std::move(text);
    return false;
}

bool HasBlank(std::string_view text) {
    return text.find_first_of(" \t") != std::string_view::npos;
}

// An absolute path strictly below /dev/, without blanks and without empty, "."
// or ".." components, so that it cannot name anything outside /dev/.
bool IsDevicePath(std::string_view path) {
    if (path.substr(0, kDevicePrefix.size()) != kDevicePrefix || HasBlank(path)) {
        return false;
    }
    std::string_view rest = path.substr(kDevicePrefix.size());
    while (true) {
        const std::size_t slash = rest.find('/');
        const std::string_view component = rest.substr(0, slash);
        if (component.empty() || component == "." || component == "..") {
            return false;
        }
        if (slash == std::string_view::npos) {
            return true;
        }
        rest = rest.substr(slash + 1);
    }
}

// Removes one pair of enclosing double quotes. False when the quotes are
// unbalanced, enclose nothing, or stray quotes or equals signs remain.
bool Unquote(std::string_view& value) {
    const bool opens = value.front() == kQuote;
    const bool closes = value.back() == kQuote;
    if (opens != closes) {
        return false;
    }
    if (opens) {
        if (value.size() < 3) {
            return false;
        }
        value = value.substr(1, value.size() - 2);
    }
    return value.find(kQuote) == std::string_view::npos &&
           value.find(kEquals) == std::string_view::npos;
}

}  // namespace

bool ModemSettings::Apply(std::string_view line, std::string& message) {
    const std::size_t equals = line.find(kEquals);
    if (equals == std::string_view::npos) {
        return Fail(message, "invalid modem setting");
    }
    const std::string_view key = TrimBlanks(line.substr(0, equals));
    std::string_view rawValue = TrimBlanks(line.substr(equals + 1));
    if (key.empty() || rawValue.empty() || !Unquote(rawValue)) {
        return Fail(message, "invalid modem setting");
    }
    const std::string lowerKey = ToLowerAscii(key);
    const std::string value = ToLowerAscii(rawValue);

    if (lowerKey == "modem") {
        return ApplyModem(value, message);
    }
    if (lowerKey == "baudrate") {
        return ApplyBaudRate(value, message);
    }
    if (lowerKey == "comport") {
        return ApplyComPort(rawValue, value, message);
    }
    if (lowerKey == "telnet") {
        return ApplyTelnet(value, message);
    }
    if (lowerKey == "autostart") {
        return ApplyAutostart(value, message);
    }
    if (lowerKey == "reconnect") {
        return ApplySwitch("reconnect", value, seenReconnect_, config_.reconnect, message);
    }
    if (lowerKey == "log") {
        return ApplySwitch("log", value, seenLog_, config_.log, message);
    }
    return Fail(message, "unknown modem setting");
}

bool ModemSettings::ApplyModem(std::string_view value, std::string& message) {
    if (seenModem_) {
        return Fail(message, "duplicate modem setting");
    }
    seenModem_ = true;
    for (const ModelName& entry : kModels) {
        if (value == entry.name) {
            config_.model = entry.model;
            return true;
        }
    }
    return Fail(message, "unsupported modem model");
}

bool ModemSettings::ApplyBaudRate(std::string_view value, std::string& message) {
    if (seenBaudRate_) {
        return Fail(message, "duplicate baudrate setting");
    }
    seenBaudRate_ = true;
    if (value == "auto") {
        config_.baudRate = 0;
        return true;
    }
    std::uint32_t rate = 0;
    if (ParseUnsigned(value, rate)) {
        for (std::uint32_t allowed : kBaudRates) {
            if (rate == allowed) {
                config_.baudRate = rate;
                return true;
            }
        }
    }
    return Fail(message, "unsupported baudrate");
}

bool ModemSettings::ApplyComPort(std::string_view rawValue, std::string_view value,
                                 std::string& message) {
    if (seenComPort_) {
        return Fail(message, "duplicate comport setting");
    }
    seenComPort_ = true;
    std::uint32_t number = 0;
    if (value.substr(0, kComPrefix.size()) == kComPrefix &&
        ParseUnsigned(value.substr(kComPrefix.size()), number) && number >= kMinComNumber &&
        number <= kMaxComNumber) {
        config_.comPort = "COM" + std::to_string(number);
        return true;
    }
    // Device paths keep the case they were written in.
    if (naming_ == PortNaming::Posix && IsDevicePath(rawValue)) {
        config_.comPort = std::string(rawValue);
        return true;
    }
    return Fail(message, "unsupported comport");
}

bool ModemSettings::ApplyTelnet(std::string_view value, std::string& message) {
    if (seenTelnet_) {
        return Fail(message, "duplicate telnet setting");
    }
    seenTelnet_ = true;
    if (value.empty() || value.size() > kMaxTelnetHost || HasBlank(value)) {
        return Fail(message, "unsupported telnet host");
    }
    config_.telnetHost = std::string(value);
    return true;
}

bool ModemSettings::ApplyAutostart(std::string_view value, std::string& message) {
    return ApplySwitch("autostart", value, seenAutostart_, config_.autostart, message);
}

bool ModemSettings::ApplySwitch(std::string_view key, std::string_view value, bool& seen,
                                bool& setting, std::string& message) {
    if (seen) {
        return Fail(message, "duplicate " + std::string(key) + " setting");
    }
    seen = true;
    if (value == "on" || value == "off") {
        setting = value == "on";
        return true;
    }
    return Fail(message, "unsupported " + std::string(key) + " value");
}

ModemConfiguration ModemSettings::Finish() const {
    ModemConfiguration result = config_;
    if (result.model != ModemModel::Ktm2) {
        result.baudRate = 0;
    }
    return result;
}

}  // namespace cvhost
