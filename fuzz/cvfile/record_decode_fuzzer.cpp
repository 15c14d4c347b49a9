// Decodes arbitrary bytes as the COBS text of a record; a record that decodes
// must encode again to a frame that decodes to the same record.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cvfile/record_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    cvfile::TransferRecord record;
    std::string error;
    if (!cvfile::DecodeRecord(data, size, record, &error)) {
        if (error.empty()) {
            std::abort();
        }
        return 0;
    }
    const auto framed = cvfile::EncodeRecord(record);
    cvfile::TransferRecord back;
    if (framed.size() < 2 || cvfile::FramedPrefixEndsInsideRecord(framed.data(), framed.size()) ||
        !cvfile::DecodeRecord(framed.data() + 1, framed.size() - 2, back) || !(back == record)) {
        std::abort();
    }
    return 0;
}
