#pragma once

#include <cstddef>
#include <cstdint>

namespace cvfile {

// CRC-32 as used by zlib and ISO-HDLC (reflected polynomial 0xEDB88320,
// register preset to all ones, result complemented). Computed one bit at a
// time on purpose: the records are small and a table buys nothing worth its
// footprint. A value type with no shared state; one instance per thread.
class Crc32Accumulator {
  public:
    // Starts a new checksum.
    void Reset() { register_ = kPreset; }

    // Feeds `size` bytes from `data`. Throws std::invalid_argument
    // ("CRC32 input is null") when `data` is null and `size` > 0; a null
    // `data` with `size` 0 is a no-op.
    void Update(const std::uint8_t* data, std::size_t size);

    // The CRC of everything fed since the last Reset. Leaves the register
    // alone, so Update may continue afterwards.
    std::uint32_t Value() const { return ~register_; }

  private:
    static constexpr std::uint32_t kPreset = 0xFFFFFFFFu;
    std::uint32_t register_ = kPreset;
};

// The CRC-32 of one buffer; same null rule as Crc32Accumulator::Update.
std::uint32_t Crc32Ieee(const std::uint8_t* data, std::size_t size);

}  // namespace cvfile
