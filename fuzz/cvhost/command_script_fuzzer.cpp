// Parses arbitrary scripts with both port namings. A refused script must leave
// an empty result and a "line N: " message; an accepted one, written back in
// canonical form, must parse to the same script.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cvhost/command_script.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

const char* ModelName(cvhost::ModemModel model) {
    switch (model) {
        case cvhost::ModemModel::Hr5900:
            return "hr-5900";
        case cvhost::ModemModel::Hr3300:
            return "hr-3300";
        case cvhost::ModemModel::Hr3700:
            return "hr-3700";
        case cvhost::ModemModel::Ktm2:
            return "ktm-ii";
    }
    std::abort();
}

// A value that ends in "]" was quoted in the original (a bare one would end the
// line like a section header), so it is quoted again; quoting every value could
// push a line that was exactly 256 bytes long over the limit.
std::string SettingValue(const std::string& value) {
    return !value.empty() && value.back() == ']' ? "\"" + value + "\"" : value;
}

std::string Canonical(const cvhost::CommandScript& script) {
    std::string text = "[Term]\n";
    for (const auto& command : script.terminalCommands) {
        text.append(command.begin(), command.end());
        text += '\n';
    }
    text += "[Host]\r\n";
    for (const auto& command : script.hostmodeCommands) {
        text.append(command.begin(), command.end());
        text += "\r\n";
    }
    const cvhost::ModemConfiguration& modem = script.modem;
    text += "[Modem]\r";
    text += std::string("modem=") + ModelName(modem.model) + "\r";
    text +=
        "baudrate=" + (modem.baudRate == 0 ? std::string("auto") : std::to_string(modem.baudRate)) +
        "\r";
    if (!modem.comPort.empty()) {
        text += "comport=" + SettingValue(modem.comPort) + "\r";
    }
    if (!modem.telnetHost.empty()) {
        text += "telnet=" + SettingValue(modem.telnetHost) + "\r";
    }
    text += std::string("autostart=") + (modem.autostart ? "on" : "off") + "\r";
    text += std::string("reconnect=") + (modem.reconnect ? "on" : "off") + "\r";
    text += std::string("log=") + (modem.log ? "on" : "off") + "\r";
    return text;
}

void CheckOne(const std::uint8_t* data, std::size_t size, cvhost::PortNaming naming) {
    cvhost::CommandScript script;
    std::string error;
    if (!cvhost::ParseCommandScript(data, size, script, &error, naming)) {
        Check(script == cvhost::CommandScript{});
        Check(error.rfind("line ", 0) == 0);
        return;
    }
    for (const auto* list : {&script.terminalCommands, &script.hostmodeCommands}) {
        for (const auto& command : *list) {
            Check(!command.empty() && command.size() <= 256);
        }
    }
    const std::string text = Canonical(script);
    cvhost::CommandScript again;
    Check(cvhost::ParseCommandScript(reinterpret_cast<const std::uint8_t*>(text.data()),
                                     text.size(), again, &error, naming));
    Check(again == script);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckOne(data, size, cvhost::PortNaming::Windows);
    CheckOne(data, size, cvhost::PortNaming::Posix);
    return 0;
}
