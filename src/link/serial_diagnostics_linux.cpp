#include <charconv>
#include <fstream>
#include <system_error>

#include "link/serial_diagnostics.h"

namespace corvina {
namespace {

namespace fs = std::filesystem;

// The adapter buffers received bytes for up to this long before it hands them
// to the host; more than this adds a noticeable delay to every transaction.
constexpr unsigned kHighestQuietLatencyMs = 2;

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

bool IsNumber(const std::string& text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

std::string SerialPortHolder(const std::string& devicePath, const fs::path& procRoot) {
    std::error_code failed;
    const fs::path device = fs::canonical(devicePath, failed);
    if (failed) {
        return {};
    }
    for (const fs::directory_entry& process : fs::directory_iterator(procRoot, failed)) {
        const std::string pid = process.path().filename().string();
        if (!IsNumber(pid)) {
            continue;
        }
        std::error_code hidden;
        for (const fs::directory_entry& fd :
             fs::directory_iterator(process.path() / "fd", hidden)) {
            std::error_code gone;
            if (fs::read_symlink(fd.path(), gone) == device) {
                return FirstLine(process.path() / "comm") + " (pid " + pid + ")";
            }
        }
    }
    return {};
}

std::string SerialLatencyHint(const std::string& devicePath, const fs::path& sysRoot) {
    std::error_code failed;
    const fs::path device = fs::canonical(devicePath, failed);
    if (failed) {
        return {};
    }
    const std::string name = device.filename().string();
    const std::string text =
        FirstLine(sysRoot / "class" / "tty" / name / "device" / "latency_timer");
    unsigned latency = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), latency);
    if (text.empty() || error != std::errc() || latency <= kHighestQuietLatencyMs) {
        return {};
    }
    const std::string ms = std::to_string(latency);
    return devicePath + ": the FTDI adapter's latency timer is " + ms +
           " ms, so every answer of the modem can wait up to " + ms +
           " ms in the adapter. To lower it to 1 ms whenever the adapter is plugged in, put "
           "this line in /etc/udev/rules.d/99-ftdi-latency.rules and plug it in again: "
           "ACTION==\"add\", SUBSYSTEM==\"usb-serial\", DRIVER==\"ftdi_sio\", "
           "ATTR{latency_timer}=\"1\"";
}

}  // namespace corvina
