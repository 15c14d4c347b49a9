#pragma once

#include <string>
#include <string_view>

#include "cvhost/command_script.h"

namespace cvhost {

// Collects the key=value lines of the "[Modem]" sections of one script. Internal
// to the command-script parser. Each key may be given once.
class ModemSettings {
  public:
    explicit ModemSettings(PortNaming naming) : naming_(naming) {}

    // Applies one trimmed, non-empty, ASCII line. On failure returns false with
    // the message (without line prefix) in `message`; the settings are then
    // unspecified and the whole script is refused by the caller.
    bool Apply(std::string_view line, std::string& message);

    // The settings read so far, with the rule that only a Ktm2 keeps a baud rate.
    ModemConfiguration Finish() const;

  private:
    bool ApplyModem(std::string_view value, std::string& message);
    bool ApplyBaudRate(std::string_view value, std::string& message);
    bool ApplyComPort(std::string_view rawValue, std::string_view value, std::string& message);
    bool ApplyTelnet(std::string_view value, std::string& message);
    bool ApplyAutostart(std::string_view value, std::string& message);
    bool ApplySwitch(std::string_view key, std::string_view value, bool& seen, bool& setting,
                     std::string& message);

    PortNaming naming_;
    ModemConfiguration config_;
    bool seenModem_ = false;
    bool seenBaudRate_ = false;
    bool seenComPort_ = false;
    bool seenTelnet_ = false;
    bool seenAutostart_ = false;
    bool seenReconnect_ = false;
    bool seenLog_ = false;
};

}  // namespace cvhost
