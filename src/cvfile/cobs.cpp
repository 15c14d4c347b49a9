#include "cvfile/cobs.h"

#include <cstring>
#include <stdexcept>

namespace cvfile {
namespace {

// A group holds at most this many data bytes; its code byte is then 0xFF and
// no 0x00 is implied after it.
constexpr std::size_t kMaxGroupData = 254;
constexpr std::uint8_t kFullGroupCode = 0xFF;

// Length of the run of non-zero bytes starting at `data`, at most `size`.
std::size_t NonZeroRun(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const void* zero = std::memchr(data, 0, size);
    return zero == nullptr
               ? size
               : static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - data);
}

// Decodes non-empty `data` into `output`; false at the first malformed group.
bool DecodeGroups(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& output) {
    // Every group of n data bytes takes n + 1 input bytes and yields at most
    // n + 1 output bytes, so the output never outgrows the input.
    output.resize(size);
    std::uint8_t* o = output.data();
    std::size_t write = 0;
    std::size_t read = 0;
    for (;;) {
        const std::uint8_t code = data[read++];
        if (code == 0) {
            return false;
        }
        const std::size_t count = code - 1u;
        if (count > size - read || NonZeroRun(data + read, count) != count) {
            return false;
        }
        if (count > 0) {
            std::memcpy(o + write, data + read, count);
            write += count;
            read += count;
        }
        if (read == size) {
            break;
        }
        if (code != kFullGroupCode) {
            o[write++] = 0;
        }
    }
    output.resize(write);
    return true;
}

}  // namespace

std::vector<std::uint8_t> CobsEncode(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr && size > 0) {
        throw std::invalid_argument("COBS input is null");
    }
    std::vector<std::uint8_t> out(size + size / kMaxGroupData + 1);
    std::uint8_t* o = out.data();
    std::size_t codePos = 0;
    std::size_t write = 1;
    std::size_t read = 0;
    for (;;) {
        std::size_t run = NonZeroRun(data + read, size - read);
        while (run >= kMaxGroupData) {
            o[codePos] = kFullGroupCode;
            std::memcpy(o + write, data + read, kMaxGroupData);
            write += kMaxGroupData;
            read += kMaxGroupData;
            run -= kMaxGroupData;
            codePos = write++;
        }
        if (run > 0) {
            std::memcpy(o + write, data + read, run);
            write += run;
            read += run;
        }
        o[codePos] = static_cast<std::uint8_t>(run + 1);
        if (read == size) {
            break;
        }
        // data[read] is a 0x00: it ends this group and is implied by its code.
        ++read;
        codePos = write++;
    }
    out.resize(write);
    return out;
}

bool CobsDecode(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& output) {
    output.clear();
    if (data == nullptr || size == 0) {
        return false;
    }
    if (!DecodeGroups(data, size, output)) {
        output.clear();
        return false;
    }
    return true;
}

}  // namespace cvfile
