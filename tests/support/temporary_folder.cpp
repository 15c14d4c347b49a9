#include "support/temporary_folder.h"

#include <atomic>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

namespace corvina::testing {

TemporaryFolder::TemporaryFolder() {
    // Parallel test programs share the temporary directory: a random name,
    // and a counter for folders made within one program.
    static std::atomic<unsigned> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("corvina-test-" + std::to_string(std::random_device()()) + "-" +
             std::to_string(counter.fetch_add(1)));
    if (!std::filesystem::create_directory(path_)) {
        throw std::runtime_error("cannot create a temporary folder");
    }
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TemporaryFolder::WriteFile(std::string_view name,
                                                 std::string_view contents) const {
    const auto file = path_ / std::filesystem::path(std::string(name));
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + file.string());
    }
    return file;
}

}  // namespace corvina::testing
