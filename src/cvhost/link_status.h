#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace cvhost {

// The six numbers of the modem's answer to the hostmode "L" command, in the
// order the modem lists them. Default-constructed it holds zeros.
struct LinkStatus {
    // Position of the number of frames the modem still has to send.
    static constexpr std::size_t kPendingFramesIndex = 2;

    std::array<std::uint32_t, 6> values{};

    std::uint32_t PendingFrames() const { return values[kPendingFramesIndex]; }

    bool operator==(const LinkStatus&) const = default;
};

// Reads an "L" answer: six decimal numbers (each at most 4294967295) separated by
// blanks or tabs, optionally preceded by blanks or tabs and followed only by NUL,
// tab, LF, CR or blank bytes. Returns true and fills `status` on success; on
// failure returns false and leaves `status` untouched. Pure; any thread.
bool ParseLinkStatus(const std::vector<std::uint8_t>& text, LinkStatus& status);

}  // namespace cvhost
