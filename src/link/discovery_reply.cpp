#include "link/discovery_reply.h"

#include <algorithm>
#include <cstring>

#include "text/conversions.h"

namespace corvina {

std::optional<DiscoveredModem> ParseDiscoveryReply(const std::uint8_t* data, std::size_t size,
                                                   const std::string& address) {
    if (data == nullptr || size < kDiscoveryMinimumReply ||
        std::memcmp(data, kDiscoveryMagic, sizeof kDiscoveryMagic) != 0) {
        return std::nullopt;
    }
    DiscoveredModem modem;
    modem.address = address;
    modem.replyByte = data[kDiscoveryReplyByteOffset];
    for (std::size_t i = 0; i < 8; ++i) {
        modem.replyValue = (modem.replyValue << 8) | data[kDiscoveryReplyValueOffset + i];
    }
    modem.port = static_cast<std::uint16_t>((data[kDiscoveryPortOffset] << 8) |
                                            data[kDiscoveryPortOffset + 1]);
    const std::uint8_t* name = data + kDiscoveryNameOffset;
    const std::uint8_t* nameEnd = std::find(name, name + kDiscoveryNameBytes, 0);
    modem.modemName.assign(name, nameEnd);
    while (!modem.modemName.empty() && modem.modemName.back() == ' ') {
        modem.modemName.pop_back();
    }
    return modem;
}

std::u16string DiscoveryLabel(const DiscoveredModem& modem) {
    std::u16string label = modem.modemName.empty() ? u"Velk modem" : Utf8ToWide(modem.modemName);
    label += u" - ";
    label += Utf8ToWide(modem.address + ":" + std::to_string(modem.port));
    return label;
}

}  // namespace corvina
