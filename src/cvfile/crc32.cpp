#include "cvfile/crc32.h"

#include <stdexcept>

namespace cvfile {
namespace {

constexpr std::uint32_t kReflectedPolynomial = 0xEDB88320u;

}  // namespace

void Crc32Accumulator::Update(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return;
    }
    if (data == nullptr) {
        throw std::invalid_argument("CRC32 input is null");
    }
    std::uint32_t r = register_;
    for (std::size_t i = 0; i < size; ++i) {
        r ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            // Branch-free: the polynomial is applied when the bit shifted out is 1.
            r = (r >> 1) ^ (kReflectedPolynomial & (0u - (r & 1u)));
        }
    }
    register_ = r;
}

std::uint32_t Crc32Ieee(const std::uint8_t* data, std::size_t size) {
    Crc32Accumulator crc;
    crc.Update(data, size);
    return crc.Value();
}

}  // namespace cvfile
