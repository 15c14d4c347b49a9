#pragma once

#include <filesystem>
#include <string_view>

namespace corvina::testing {

// A fresh, empty folder under the system's temporary directory, removed with
// everything in it when the object goes.
class TemporaryFolder {
  public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Writes `contents` to the file `name` inside the folder; returns its path.
    std::filesystem::path WriteFile(std::string_view name, std::string_view contents) const;

  private:
    std::filesystem::path path_;
};

}  // namespace corvina::testing
