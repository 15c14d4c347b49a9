#pragma once

// A fresh folder under /tmp, removed with everything in it at scope end.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace corvina::testing {

class TempFolder {
  public:
    TempFolder() {
        char pattern[] = "/tmp/corvina-link-XXXXXX";
        if (mkdtemp(pattern) != nullptr) {
            path_ = pattern;
        }
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

    void Write(const std::string& name, const std::string& content) const {
        std::ofstream(path_ / name, std::ios::binary) << content;
    }

  private:
    std::filesystem::path path_;
};

}  // namespace corvina::testing
