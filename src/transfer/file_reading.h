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
    ReadFailed,  // its size could not be learnt, or a read failed
    Aborted,     // `abort` was set before a read
};

// Reads the file at `path` into `content` in 64 KiB blocks, checking `abort`
// before every block. Memory for the size the file reports is reserved first;
// a file that grows meanwhile is read to its end. The file is only read and
// is closed before return. Any thread.
ReadOutcome ReadWholeFile(const std::filesystem::path& path, const std::atomic<bool>& abort,
                          std::vector<std::uint8_t>& content);

}  // namespace corvina
