#include "transfer/file_reading.h"

#include <fstream>
#include <new>
#include <stdexcept>
#include <system_error>

namespace corvina {
namespace {

ReadOutcome ReadBlocks(std::ifstream& file, const std::atomic<bool>& abort,
                       std::vector<std::uint8_t>& content) {
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

}  // namespace

ReadOutcome ReadWholeFile(const std::filesystem::path& path, const std::atomic<bool>& abort,
                          std::vector<std::uint8_t>& content, SizeQuery sizeQuery) {
    content.clear();
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return ReadOutcome::OpenFailed;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open()) {
        return ReadOutcome::OpenFailed;
    }
    std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        if (sizeQuery == SizeQuery::Required) {
            return ReadOutcome::ReadFailed;
        }
        size = 0;
    }
    ReadOutcome outcome = ReadOutcome::ReadFailed;
    try {
        if (size > content.max_size()) {
            throw std::bad_alloc();
        }
        content.reserve(static_cast<std::size_t>(size));
        outcome = ReadBlocks(file, abort, content);
    } catch (const std::bad_alloc&) {
        outcome = ReadOutcome::ReadFailed;
    } catch (const std::length_error&) {
        outcome = ReadOutcome::ReadFailed;
    }
    if (outcome != ReadOutcome::Complete) {
        content = std::vector<std::uint8_t>();
    }
    return outcome;
}

}  // namespace corvina
