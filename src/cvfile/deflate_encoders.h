#pragma once

// The encoders CompressSmallest chooses from; private to cvfile. Each returns
// true with `out` holding a whole zlib stream strictly shorter than `limit`
// bytes, or false (with `out` unspecified) when it produced nothing shorter or
// is not built into this program.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace cvfile::detail {

using StopCheck = std::function<bool()>;

// zlib at level 6 with a 15-bit window, memory level 8 and the default
// strategy. Asks `stop` before every MiB of input and throws
// CompressionStopped when it says so; gives up as soon as the stream reaches
// `limit`, so incompressible input costs no more than one pass.
bool DeflateLevel6(const std::uint8_t* data, std::size_t size, std::size_t limit,
                   const StopCheck& stop, std::vector<std::uint8_t>& out);

// libdeflate at its strongest level, whole buffer in one call. Seconds this
// is expected to take for `size` bytes, with margin.
bool DeflateLibdeflate(const std::uint8_t* data, std::size_t size, std::size_t limit,
                       std::vector<std::uint8_t>& out);
double LibdeflateSeconds(std::size_t size);
bool LibdeflateAvailable();

// zopfli, part by part so that `stop` is asked between parts, with as many
// iterations per part as leave the rest of the input room before `seconds`
// have passed (measured from the call). False when even the cheapest setting
// would overrun.
bool DeflateZopfli(const std::uint8_t* data, std::size_t size, std::size_t limit, double seconds,
                   const StopCheck& stop, std::vector<std::uint8_t>& out);

}  // namespace cvfile::detail
