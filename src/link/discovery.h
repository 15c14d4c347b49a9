#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvina {

// A network modem that answered the search.
struct DiscoveredModem {
    std::string address;           // sender IPv4 address, dotted decimal
    std::uint16_t port = 0;        // Telnet port from the reply
    std::uint64_t replyValue = 0;  // reply bytes 12..19, carried along unused
    std::uint8_t replyByte = 0;    // reply byte 5, carried along unused
    std::string modemName;         // at most 9 characters, may be empty

    bool operator==(const DiscoveredModem&) const = default;
};

// Searches the local IPv4 networks for modems for `timeoutMs`: probes the
// broadcast address of every interface on UDP port 1101 at the start and then
// every second, and collects the answers, one entry per address:port in
// arrival order. Blocks for the whole search unless it fails earlier. On
// failure `error` is set and the modems found until then are still returned;
// foreign or malformed datagrams are ignored without a message. Any thread;
// touches no shared state, so several searches may run at once.
std::vector<DiscoveredModem> DiscoverModems(std::uint32_t timeoutMs, std::string& error);

// The address box text of a modem: its name (or "Velk modem" when it has
// none), " - ", address, ":" and port.
std::u16string DiscoveryLabel(const DiscoveredModem& modem);

}  // namespace corvina
