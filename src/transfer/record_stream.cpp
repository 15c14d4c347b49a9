#include "transfer/record_stream.h"

#include <algorithm>
#include <stdexcept>

#include "cvfile/crc32.h"
#include "cvfile/record_codec.h"
#include "cvfile/transfer_record.h"

namespace corvina {
namespace {

using cvfile::RecordType;
using cvfile::TransferRecord;

// Upper bound of one framed record with a payload of n bytes: two delimiters
// around the COBS form of 44 + n raw bytes.
std::size_t FramedBound(std::size_t payload) {
    const std::size_t raw = cvfile::kMinRawRecordSize + payload;
    return 2 + raw + raw / 254 + 1;
}

// The CRC of a file, a MiB at a time so an abort stops a large file at once.
constexpr std::size_t kAbortCheckBytes = std::size_t{1} << 20;

std::uint32_t FileCrc(const std::vector<std::uint8_t>& content, const std::atomic<bool>& abort) {
    cvfile::Crc32Accumulator crc;
    for (std::size_t at = 0; at < content.size(); at += kAbortCheckBytes) {
        if (abort) {
            throw std::runtime_error("binary transfer cancelled");
        }
        crc.Update(content.data() + at, std::min(kAbortCheckBytes, content.size() - at));
    }
    return crc.Value();
}

void Append(std::vector<std::uint8_t>& stream, const TransferRecord& record) {
    const std::vector<std::uint8_t> framed = cvfile::EncodeRecord(record);
    stream.insert(stream.end(), framed.begin(), framed.end());
}

}  // namespace

BinaryRecordStream BuildBinaryRecordStream(std::vector<std::uint8_t> content, std::string_view name,
                                           std::uint64_t transferId,
                                           const std::atomic<bool>& abort) {
    BinaryRecordStream out;
    out.fileSize = content.size();
    out.fileCrc = FileCrc(content, abort);
    cvfile::CompressionLimits limits;
    limits.stopRequested = [&abort] { return abort.load(); };
    cvfile::EncodedTransferData encoded =
        cvfile::EncodeTransferData(content.data(), content.size(), limits);
    content = std::vector<std::uint8_t>();  // the file is not needed past this point
    out.mode = encoded.mode;

    const std::uint64_t total = encoded.bytes.size();
    const std::uint64_t count = (total + kOutgoingChunkSize - 1) / kOutgoingChunkSize;
    if (count > kMaxOutgoingChunks) {
        throw std::runtime_error("Binary file is too large");
    }
    out.chunkCount = static_cast<std::uint32_t>(count);
    const std::uint32_t dataValue =
        encoded.mode == cvfile::CompressionMode::Zlib ? out.chunkCount : 0;

    std::size_t bound = FramedBound(name.size()) + FramedBound(0);
    if (count > 0) {
        bound += (count - 1) * FramedBound(kOutgoingChunkSize) +
                 FramedBound(total - (count - 1) * kOutgoingChunkSize);
    }
    out.bytes.reserve(bound);  // one allocation: no doubling of a large stream

    TransferRecord start;
    start.type = RecordType::Start;
    start.transferId = transferId;
    start.sequence = static_cast<std::uint32_t>(encoded.mode);
    start.offset = out.fileSize;
    start.value = out.fileCrc;
    start.payload.assign(name.begin(), name.end());
    Append(out.bytes, start);

    TransferRecord data;
    data.type = RecordType::Data;
    data.transferId = transferId;
    data.value = dataValue;
    for (std::uint64_t k = 1; k <= count; ++k) {
        if (abort) {
            throw std::runtime_error("binary transfer cancelled");
        }
        const std::size_t position = static_cast<std::size_t>((k - 1) * kOutgoingChunkSize);
        const std::size_t length = std::min<std::size_t>(kOutgoingChunkSize, total - position);
        data.sequence = static_cast<std::uint32_t>(k);
        data.offset = position;
        data.payload.assign(encoded.bytes.begin() + static_cast<std::ptrdiff_t>(position),
                            encoded.bytes.begin() + static_cast<std::ptrdiff_t>(position + length));
        Append(out.bytes, data);
    }

    TransferRecord end;
    end.type = RecordType::End;
    end.transferId = transferId;
    end.sequence = out.chunkCount + 1;
    end.offset = out.fileSize;
    end.value = out.fileCrc;
    Append(out.bytes, end);
    return out;
}

}  // namespace corvina
