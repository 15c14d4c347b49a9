#include "link/telnet_receiver.h"

namespace corvina {
namespace {

bool IsAcceptedOption(std::uint8_t option) {
    return option == kTelnetOptionBinary || option == kTelnetOptionSuppressGoAhead ||
           option == kTelnetOptionComPortControl;
}

}  // namespace

bool TelnetReceiver::Feed(std::uint8_t byte, std::deque<std::uint8_t>& payload,
                          TelnetReply& reply) {
    switch (state_) {
        case TelnetData:
            if (byte == kTelnetIac) {
                state_ = TelnetCommand;
            } else {
                payload.push_back(byte);
            }
            return false;
        case TelnetCommand:
            if (byte == kTelnetIac) {
                payload.push_back(byte);
                state_ = TelnetData;
            } else if (byte >= kTelnetWill && byte <= kTelnetDont) {
                pendingCommand_ = byte;
                state_ = TelnetOption;
            } else if (byte == kTelnetSb) {
                state_ = TelnetSubnegotiation;
            } else {
                state_ = TelnetData;  // NOP, GA and the rest carry nothing for us
            }
            return false;
        case TelnetOption: {
            state_ = TelnetData;
            const bool accepted = IsAcceptedOption(byte);
            switch (pendingCommand_) {
                case kTelnetWill:
                    if (accepted && peerEnabled_[byte]) {
                        return false;
                    }
                    peerEnabled_[byte] = accepted;
                    reply = {kTelnetIac, accepted ? kTelnetDo : kTelnetDont, byte};
                    return true;
                case kTelnetDo:
                    if (accepted && ownEnabled_[byte]) {
                        return false;
                    }
                    ownEnabled_[byte] = accepted;
                    reply = {kTelnetIac, accepted ? kTelnetWill : kTelnetWont, byte};
                    return true;
                case kTelnetWont:
                    peerEnabled_[byte] = false;
                    return false;
                case kTelnetDont:
                    ownEnabled_[byte] = false;
                    return false;
                default:
                    return false;
            }
        }
        case TelnetSubnegotiation:
            if (byte == kTelnetIac) {
                state_ = TelnetSubnegotiationCommand;
            }
            return false;
        case TelnetSubnegotiationCommand:
            state_ = byte == kTelnetSe ? TelnetData : TelnetSubnegotiation;
            return false;
    }
    return false;
}

std::vector<std::uint8_t> TelnetEscape(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> wire;
    wire.reserve(size + size / 64);
    for (std::size_t i = 0; i < size; ++i) {
        wire.push_back(data[i]);
        if (data[i] == kTelnetIac) {
            wire.push_back(kTelnetIac);
        }
    }
    return wire;
}

}  // namespace corvina
