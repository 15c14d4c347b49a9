#include "transfer/file_reading.h"

#include <fstream>
#include <system_error>

namespace corvina {

ReadOutcome ReadWholeFile(const std::filesystem::path& path, const std::atomic<bool>& abort,
                          std::vector<std::uint8_t>& content) {
    content.clear();
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return ReadOutcome::OpenFailed;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open()) {
        return ReadOutcome::OpenFailed;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        return ReadOutcome::ReadFailed;
    }
    content.reserve(static_cast<std::size_t>(size));
    std::vector<char> block(kReadBlockSize);
    for (;;) {
        if (abort) {
            return ReadOutcome::Aborted;
        }
        file.read(block.data(), static_cast<std::streamsize>(block.size()));
        const auto got = static_cast<std::size_t>(file.gcount());
        if (file.bad()) {
            return ReadOutcome::ReadFailed;
        }
        content.insert(content.end(), block.begin(),
                       block.begin() + static_cast<std::ptrdiff_t>(got));
        if (got == 0 || file.eof()) {
            return ReadOutcome::Complete;
        }
    }
}

}  // namespace corvina
