#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "cvfile/transfer_record.h"
#include "session/host_session.h"
#include "support/recording_event_sink.h"
#include "support/temporary_folder.h"
#include "transfer/session_transfer_port.h"

namespace corvina::testing {

using Bytes = std::vector<std::uint8_t>;

// A session that is never started, reached through the transfers' real port:
// what they post, queue and store stays in it for the test to read. Its ARQ
// link and send path count as up.
struct IdleSession {
    IdleSession() {
        session.arqConnected = true;
        session.linkCanSend = true;
    }
    std::vector<cvfile::TransferRecord> Verdicts();  // queued, decoded
    bool NothingQueued();

    RecordingEventSink sink;
    HostSession session{sink, {}};
    SessionTransferPort port{session};
};

// Every record framed in `stream`, decoded; fails the test on bytes that are
// not records.
std::vector<cvfile::TransferRecord> DecodeStream(const Bytes& stream);

// `size` bytes that deflate cannot shrink (a fixed pseudo-random sequence).
Bytes RandomBytes(std::size_t size, std::uint32_t seed = 1);
// `size` letters from a to d at random: text that deflates to about a quarter.
Bytes Letters(std::size_t size, std::uint32_t seed);

class TempDir : public TemporaryFolder {
  public:
    // `name` is UTF-8 on every system.
    std::filesystem::path Write(const std::string& name, const Bytes& contents) const;
};

// The names of the entries of `folder`, sorted; empty when it does not exist.
std::vector<std::string> ListFolder(const std::filesystem::path& folder);
Bytes ReadFile(const std::filesystem::path& path);

}  // namespace corvina::testing
