// Parses arbitrary "L" answers; an accepted answer, written back as plain
// decimal numbers, must parse to the same six values.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cvhost/link_status.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> text(data, data + size);
    cvhost::LinkStatus status;
    status.values = {1, 2, 3, 4, 5, 6};
    const cvhost::LinkStatus before = status;
    if (!cvhost::ParseLinkStatus(text, status)) {
        if (!(status == before)) {
            std::abort();
        }
        return 0;
    }
    std::string again;
    for (std::uint32_t value : status.values) {
        again += std::to_string(value) + " ";
    }
    cvhost::LinkStatus reparsed;
    if (!cvhost::ParseLinkStatus(std::vector<std::uint8_t>(again.begin(), again.end()), reparsed) ||
        !(reparsed == status)) {
        std::abort();
    }
    return 0;
}
