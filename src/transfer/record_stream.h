#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "cvfile/transfer_data.h"

namespace corvina {

// Size of every Data chunk but the last.
inline constexpr std::size_t kOutgoingChunkSize = 256;
// Most Data records one transfer may have.
inline constexpr std::uint64_t kMaxOutgoingChunks = 4294967294u;

// The framed records of one binary file: Start, the Data chunks, End.
struct BinaryRecordStream {
    std::vector<std::uint8_t> bytes;
    std::uint64_t fileSize = 0;
    std::uint32_t fileCrc = 0;
    std::uint32_t chunkCount = 0;
    cvfile::CompressionMode mode = cvfile::CompressionMode::None;
};

// Builds the record stream of a whole file: CRC-32 of `content`, compressed
// as small as the time limit of cvfile::CompressionLimits allows and only when
// that is smaller, cut into 256-byte Data chunks. `abort` is also watched
// while compressing, at least once per MiB. `content` is
// consumed and released as early as possible, so the peak memory stays near
// the file, one transfer copy and the stream. Throws std::runtime_error with
// the text the operator sees: "binary transfer cancelled" when `abort` is set
// between MiBs of the CRC, while compressing or between chunks, "Binary file is too large" past
// 4,294,967,294 chunks, "Could not compress binary file"; std::bad_alloc when memory runs out. Any
// thread.
BinaryRecordStream BuildBinaryRecordStream(std::vector<std::uint8_t> content, std::string_view name,
                                           std::uint64_t transferId,
                                           const std::atomic<bool>& abort);

}  // namespace corvina
