#include "cvhost/crc16.h"

#include <array>
#include <stdexcept>

namespace cvhost {
namespace {

constexpr std::uint16_t kReflectedPolynomial = 0x8408;
constexpr std::uint16_t kInitialValue = 0xFFFF;
constexpr std::uint16_t kFinalXor = 0xFFFF;

// The register change caused by one byte, for each byte value: the eight
// shift-and-XOR steps done ahead of time. Gives the same result as the bit loop.
constexpr std::array<std::uint16_t, 256> MakeTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned value = 0; value < 256; ++value) {
        std::uint16_t reg = static_cast<std::uint16_t>(value);
        for (int bit = 0; bit < 8; ++bit) {
            reg = (reg & 1U) ? static_cast<std::uint16_t>((reg >> 1) ^ kReflectedPolynomial)
                             : static_cast<std::uint16_t>(reg >> 1);
        }
        table[value] = reg;
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kTable = MakeTable();

}  // namespace

std::uint16_t Crc16X25(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    if (data == nullptr) {
        throw std::invalid_argument("CRC input is null");
    }
    std::uint16_t reg = kInitialValue;
    for (std::size_t i = 0; i < size; ++i) {
        reg = static_cast<std::uint16_t>((reg >> 8) ^ kTable[(reg ^ data[i]) & 0xFFU]);
    }
    return static_cast<std::uint16_t>(reg ^ kFinalXor);
}

}  // namespace cvhost
