#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace corvina {

// Read block of the file senders.
inline constexpr std::size_t kReadBlockSize = 65536;

enum class ReadOutcome {
    Complete,    // `content` holds the whole file
    OpenFailed,  // the file could not be opened
    ReadFailed,  // a read failed, the file could not be held in memory, or its
                 // size could not be learnt while it was required
    Aborted,     // `abort` was set before a read
};

// What a size query that fails means for the read.
enum class SizeQuery {
    Required,  // the read fails
    Optional,  // the file is read anyway, counted as size 0
};

// Reads the file at `path` into `content` in 64 KiB blocks, checking `abort`
// before every block. Memory for the size the file reports is reserved first;
// a file that grows meanwhile is read to its end. Running out of memory is a
// failed read, never an exception; `content` is then emptied and its memory
// released. The file is only read and is closed before return. Any thread.
ReadOutcome ReadWholeFile(const std::filesystem::path& path, const std::atomic<bool>& abort,
                          std::vector<std::uint8_t>& content,
                          SizeQuery sizeQuery = SizeQuery::Required);

}  // namespace corvina
