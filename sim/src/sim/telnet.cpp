#include "sim/telnet.h"

namespace velksim {
namespace {

constexpr std::uint8_t kIac = 255;
constexpr std::uint8_t kDont = 254;
constexpr std::uint8_t kDo = 253;
constexpr std::uint8_t kWont = 252;
constexpr std::uint8_t kWill = 251;
constexpr std::uint8_t kSb = 250;
constexpr std::uint8_t kSe = 240;
constexpr std::uint8_t kOptionBinary = 0;
constexpr std::uint8_t kOptionEcho = 1;
constexpr std::uint8_t kOptionSuppressGoAhead = 3;
constexpr std::uint8_t kOptionTerminalType = 24;
constexpr std::uint8_t kOptionComPortControl = 44;
// COM-port-control SET-BAUDRATE (1) for 9600 baud, big-endian.
constexpr std::uint8_t kComPortSetBaudrate = 1;

}  // namespace

void TelnetCodec::Reset() {
    state_ = State::Data;
    commands_ = 0;
}

std::vector<std::uint8_t> TelnetCodec::Decode(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> out;
    out.reserve(size);
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = data[i];
        switch (state_) {
            case State::Data:
                if (b == kIac) {
                    state_ = State::Command;
                } else {
                    out.push_back(b);
                }
                break;
            case State::Command:
                if (b == kIac) {
                    out.push_back(kIac);
                    state_ = State::Data;
                } else if (b == kWill || b == kWont || b == kDo || b == kDont) {
                    state_ = State::Option;
                } else if (b == kSb) {
                    state_ = State::Subnegotiation;
                } else {
                    ++commands_;
                    state_ = State::Data;
                }
                break;
            case State::Option:
                ++commands_;
                state_ = State::Data;
                break;
            case State::Subnegotiation:
                if (b == kIac) {
                    state_ = State::SubnegotiationCommand;
                }
                break;
            case State::SubnegotiationCommand:
                if (b == kSe) {
                    ++commands_;
                    state_ = State::Data;
                } else {
                    state_ = State::Subnegotiation;
                }
                break;
        }
    }
    return out;
}

std::vector<std::uint8_t> TelnetCodec::Encode(const std::vector<std::uint8_t>& payload) {
    std::vector<std::uint8_t> out;
    out.reserve(payload.size() + payload.size() / 64 + 1);
    for (const std::uint8_t b : payload) {
        out.push_back(b);
        if (b == kIac) {
            out.push_back(kIac);
        }
    }
    return out;
}

std::vector<std::uint8_t> TelnetCodec::Offers() {
    return {kIac,
            kWill,
            kOptionSuppressGoAhead,
            kIac,
            kWill,
            kOptionEcho,
            kIac,
            kDo,
            kOptionBinary,
            kIac,
            kDo,
            kOptionTerminalType,
            kIac,
            kSb,
            kOptionComPortControl,
            kComPortSetBaudrate,
            0x00,
            0x00,
            0x25,
            0x80,
            kIac,
            kSe};
}

}  // namespace velksim
