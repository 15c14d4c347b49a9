// Decodes arbitrary bytes as UTF-8 and as UTF-16 and checks that the
// conversions agree with each other.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "text/conversions.h"

namespace {

using namespace corvina;

constexpr char16_t kReplacement = 0xFFFD;

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

bool IsSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDFFF;
}

// Well-formed UTF-16: every surrogate sits in a high-low pair.
bool IsWellFormed(const std::u16string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!IsSurrogate(text[i])) {
            continue;
        }
        if (text[i] > 0xDBFF || i + 1 == text.size() || text[i + 1] < 0xDC00 ||
            text[i + 1] > 0xDFFF) {
            return false;
        }
        ++i;
    }
    return true;
}

void CheckUtf8(std::string_view bytes) {
    const std::u16string wide = Utf8ToWide(bytes);
    Require(wide.size() <= bytes.size());
    Require(IsWellFormed(wide));
    const std::string utf8 = WideToUtf8(wide);
    // Valid input survives the round trip byte for byte; anything else is
    // repaired once and is then stable.
    if (wide.find(kReplacement) == std::u16string::npos) {
        Require(utf8 == bytes);
    }
    Require(Utf8ToWide(utf8) == wide);
}

void CheckUtf16(const std::uint8_t* data, std::size_t size) {
    std::u16string wide(size / 2, u'\0');
    for (std::size_t i = 0; i < wide.size(); ++i) {
        wide[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
    const std::u16string back = Utf8ToWide(WideToUtf8(wide));
    if (IsWellFormed(wide)) {
        Require(back == wide);
    } else {
        Require(back.size() <= wide.size());
        Require(IsWellFormed(back));
    }
    const std::vector<std::uint8_t> modem = WideToModemBytes(wide);
    Require(modem.size() <= wide.size());
    for (std::uint8_t byte : modem) {
        Require(byte != '\n');
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    CheckUtf16(data, size);
    const std::vector<std::uint8_t> bytes(data, data + size);
    Require(BytesToWide(bytes).size() == size);
    return 0;
}
