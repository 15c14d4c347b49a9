#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace corvina::cli {

// Builds one JSON object on one line, fields in the order added. Strings must
// be UTF-8; control characters, quotes and backslashes are escaped, so the
// line never holds a raw line break.
class JsonLine {
  public:
    JsonLine& Add(std::string_view key, std::string_view value);
    JsonLine& Add(std::string_view key, const char* value) {
        return Add(key, std::string_view(value));
    }
    JsonLine& Add(std::string_view key, std::uint64_t value);
    JsonLine& Add(std::string_view key, bool value);

    // The object with its closing brace, without a line end.
    std::string Text() const { return body_.empty() ? "{}" : body_ + "}"; }

  private:
    void Key(std::string_view key);
    std::string body_;
};

// `text` as a quoted JSON string.
std::string JsonString(std::string_view text);

}  // namespace corvina::cli
