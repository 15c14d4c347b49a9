#include "transfer_harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>

#include "cvfile/stream_parser.h"
#include "transfer/utf8_path.h"

namespace corvina::testing {

std::vector<cvfile::TransferRecord> IdleSession::Verdicts() {
    std::vector<cvfile::TransferRecord> results;
    for (const OutboundItem& item :
         session.WithQueues([](HostQueues& q) { return q.outboundQueue; })) {
        if (item.kind == OutboundKind::TransferControl) {
            for (const cvfile::TransferRecord& record : DecodeStream(item.bytes)) {
                results.push_back(record);
            }
        }
    }
    return results;
}

bool IdleSession::NothingQueued() {
    return session.WithQueues(
        [](HostQueues& q) { return q.outboundQueue.empty() && q.commandQueue.empty(); });
}

std::vector<cvfile::TransferRecord> DecodeStream(const Bytes& stream) {
    cvfile::StreamParser parser;
    std::vector<cvfile::TransferRecord> records;
    for (const cvfile::StreamEvent& event : parser.Push(stream.data(), stream.size())) {
        EXPECT_EQ(event.kind, cvfile::StreamEventKind::Record);
        records.push_back(event.record);
    }
    return records;
}

Bytes RandomBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 generator(seed);
    Bytes bytes(size);
    for (std::uint8_t& b : bytes) {
        b = static_cast<std::uint8_t>(generator());
    }
    return bytes;
}

Bytes Letters(std::size_t size, std::uint32_t seed) {
    Bytes letters = RandomBytes(size, seed);
    for (std::uint8_t& b : letters) {
        b = static_cast<std::uint8_t>('a' + b % 4);
    }
    return letters;
}

std::filesystem::path TempDir::Write(const std::string& name, const Bytes& contents) const {
    const std::filesystem::path file = path() / PathFromUtf8(name);
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(contents.data()),
              static_cast<std::streamsize>(contents.size()));
    return file;
}

std::vector<std::string> ListFolder(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        names.push_back(PathToUtf8(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace corvina::testing
